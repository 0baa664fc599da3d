#include "main_window/file_dialog.h"

#include <QFile>

#include <system_error>

namespace fs = std::filesystem;

bool FileDialog::exec(QWidget* parent) {
    const QString folder =
        filePath_.empty() ? QString()
                          : QFile::decodeName(QByteArray::fromStdString(filePath_.parent_path()));
    const QString chosen = askForFile(parent, folder);
    if (chosen.isEmpty()) {
        return false;
    }
    filePath_ = realName(chosen);
    return true;
}

fs::path FileDialog::realName(const QString& name) {
    const fs::path spelled(QFile::encodeName(name).toStdString());
    std::error_code error;
    if (!name.contains(QChar::ReplacementCharacter) || fs::exists(spelled, error)) {
        return spelled;
    }
    fs::path found;
    const QString wanted = QFile::decodeName(QByteArray::fromStdString(spelled.filename()));
    for (const fs::directory_entry& entry : fs::directory_iterator(spelled.parent_path(), error)) {
        const fs::path entryName = entry.path().filename();
        if (QFile::decodeName(QByteArray::fromStdString(entryName.native())) == wanted) {
            if (!found.empty()) {
                return spelled; // two names read alike: which one was meant cannot be told
            }
            found = entry.path();
        }
    }
    return found.empty() ? spelled : found;
}
