#include "main_window/qt_message_boxes.h"

#include "main_window/main_window.h"

#include <QMessageBox>

namespace {

void showModal(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, MainWindow::kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void QtMessageBoxes::inform(QWidget* parent, const QString& text) {
    showModal(parent, QMessageBox::NoIcon, text);
}

void QtMessageBoxes::warn(QWidget* parent, const QString& text) {
    showModal(parent, QMessageBox::Warning, text);
}
