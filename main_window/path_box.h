#pragma once

// A path box: a line edit that holds a file's real name. File names are bytes and need not be
// valid UTF-8, so the box shows the name made printable (an undecodable byte as \xNN) and keeps
// the bytes; once the user edits the text, the text is the name.
//
// A paste (Ctrl+V, Shift+Insert, the context menu's "Pegar", or a middle click that pastes the
// X11 primary selection) that memory runs out for while the clipboard is read leaves the box as
// it was and emits shortOfMemoryToPaste() instead of ending the program.

#include <QClipboard>
#include <QLineEdit>

#include <filesystem>

class PathBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    void setPath(const std::filesystem::path& path);
    // The file the box names; empty when the box is.
    std::filesystem::path path() const;

signals:
    // `mode` is the clipboard that was being read.
    void shortOfMemoryToPaste(QClipboard::Mode mode);

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::filesystem::path path_;
    QString shownForPath_;
};
