#include "main_window/file_dialog.h"

#include <QFileInfo>

bool FileDialog::exec(QWidget* parent) {
    const QString folder = fileName_.isEmpty() ? QString() : QFileInfo(fileName_).absolutePath();
    const QString chosen = askForFile(parent, folder);
    if (chosen.isEmpty()) {
        return false;
    }
    fileName_ = chosen;
    return true;
}
