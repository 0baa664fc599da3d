#pragma once

// The open-file dialog that both browse buttons share. It remembers the last chosen file and
// opens in that file's folder; cancelling leaves the remembered file as it was. Only the
// question put to the user is left to subclasses, so tests can answer it without a modal loop.

#include <QObject>
#include <QString>

#include <filesystem>

class QWidget;

class FileDialog : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Asks for a file; true when one was chosen, which filePath() then returns.
    bool exec(QWidget* parent);

    // The last chosen file, by its real name (its bytes); empty before the first choice.
    const std::filesystem::path& filePath() const { return filePath_; }

    // The file on disk that `name`, as Qt spells a file name, stands for. Qt shows a name that is
    // not UTF-8 with replacement characters, which name no file: the folder is then searched for
    // the one entry that Qt would spell so.
    static std::filesystem::path realName(const QString& name);

protected:
    // Shows the platform's dialog in `folder` (empty: its default) and returns the chosen file's
    // full path, or an empty string when the user cancels.
    virtual QString askForFile(QWidget* parent, const QString& folder) = 0;

private:
    std::filesystem::path filePath_;
};
