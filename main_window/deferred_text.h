#pragma once

// Plain text for the clipboard that is read only when somebody asks for it: a view's X11 primary
// selection, which another program may paste or never, can stand for a selection far larger than
// what the view holds. `read` runs at most once, on the thread of the clipboard, when the text is
// first asked for; it gives nothing when the text can no longer be had, and the data then holds
// empty text.

#include <QMimeData>

#include <functional>
#include <optional>

class DeferredText : public QMimeData {
    Q_OBJECT

public:
    explicit DeferredText(std::function<std::optional<QString>()> read);

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable std::function<std::optional<QString>()> read_;
    mutable std::optional<QString> text_;
};
