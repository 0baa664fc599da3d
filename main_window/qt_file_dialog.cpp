#include "main_window/qt_file_dialog.h"

#include <QFileDialog>

QString QtFileDialog::askForFile(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, tr("Abrir fichero"), folder);
}
