#include "main_window/path_box.h"

#include "comparison/text_decoding.h"

#include <QFile>

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
