#pragma once

// A path box: a line edit that holds a file's real name. File names are bytes and need not be
// valid UTF-8, so the box shows the name made printable (an undecodable byte as \xNN) and keeps
// the bytes; once the user edits the text, the text is the name.

#include <QLineEdit>

#include <filesystem>

class PathBox : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    void setPath(const std::filesystem::path& path);
    // The file the box names; empty when the box is.
    std::filesystem::path path() const;

private:
    std::filesystem::path path_;
    QString shownForPath_;
};
