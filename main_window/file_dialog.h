#pragma once

// The open-file dialog that both browse buttons share. It remembers the last chosen file and
// opens in that file's folder; cancelling leaves the remembered file as it was. Only the
// question put to the user is left to subclasses, so tests can answer it without a modal loop.

#include <QObject>
#include <QString>

class QWidget;

class FileDialog : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Asks for a file; true when one was chosen, which fileName() then returns.
    bool exec(QWidget* parent);

    // The full path of the last chosen file; empty before the first choice.
    QString fileName() const { return fileName_; }

protected:
    // Shows the platform's dialog in `folder` (empty: its default) and returns the chosen file's
    // full path, or an empty string when the user cancels.
    virtual QString askForFile(QWidget* parent, const QString& folder) = 0;

private:
    QString fileName_;
};
