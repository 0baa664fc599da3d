#include "main_window/path_box.h"

#include "comparison/text_decoding.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <new>

void PathBox::setPath(const std::filesystem::path& path) {
    path_ = path;
    shownForPath_ = QString::fromStdString(parvane::printable(path.native()));
    setText(shownForPath_);
}

std::filesystem::path PathBox::path() const {
    if (text() == shownForPath_) {
        return path_;
    }
    return std::filesystem::path(QFile::encodeName(text()).toStdString());
}

// The clipboard is read at the start of a paste, before the box changes, so a shortage there
// leaves the box as it was. A middle click pastes the primary selection; the paste keys, and the
// context menu, which reads the clipboard to offer "Pegar", the clipboard. A shortage in any other
// event is not a paste's.
bool PathBox::event(QEvent* event) {
    try {
        return QLineEdit::event(event);
    } catch (const std::bad_alloc&) {
        const QEvent::Type type = event->type();
        const bool middle = type == QEvent::MouseButtonRelease &&
                            static_cast<const QMouseEvent*>(event)->button() == Qt::MiddleButton;
        const bool keys = type == QEvent::KeyPress &&
                          static_cast<const QKeyEvent*>(event)->matches(QKeySequence::Paste);
        if (!middle && !keys && type != QEvent::ContextMenu) {
            throw;
        }
        emit shortOfMemoryToPaste(middle ? QClipboard::Selection : QClipboard::Clipboard);
        return true;
    }
}

// The menu's "Pegar" runs once the menu is gone, outside event(): it is guarded on its own. The
// entry is known by its words, which the standard menu takes from QLineEdit's translation (the
// shortcut follows them).
void PathBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    const QString pasteWords = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text() == pasteWords || action->text().startsWith(pasteWords + u'\t')) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] {
                try {
                    paste();
                } catch (const std::bad_alloc&) {
                    emit shortOfMemoryToPaste(QClipboard::Clipboard);
                }
            });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
