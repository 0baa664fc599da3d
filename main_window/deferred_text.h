#pragma once

// Plain text for the clipboard that is made only when somebody asks for it: a view's X11 primary
// selection, which another program may paste or never, can stand for a selection far larger than
// what the view holds, and a copy's text is turned into the bytes another program reads only when
// it reads them. `read` runs at most once, on the thread of the clipboard, when the text is first
// asked for; it gives nothing when the text can no longer be had, and the data then holds empty
// text. When memory runs out while the text or its bytes are made (std::bad_alloc), the data
// holds empty text from then on and `shortage` runs, once: it must not show a modal message
// itself, as the clipboard may be asked from inside another task.

#include <QMimeData>

#include <functional>
#include <optional>

class DeferredText : public QMimeData {
    Q_OBJECT

public:
    explicit DeferredText(std::function<std::optional<QString>()> read,
                          std::function<void()> shortage = {});

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable std::function<std::optional<QString>()> read_;
    mutable std::function<void()> shortage_;
    mutable std::optional<QString> text_;
};
