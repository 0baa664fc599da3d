#pragma once

// The main window (Form1): two path boxes with their browse buttons, the two views of the
// compared files with their line-number columns, and the bottom row of buttons: "Acerca de...",
// "Comparar" and "Salir". Each control carries its design name as its objectName.

#include "main_window/file_dialog.h"
#include "main_window/message_boxes.h"

#include <QWidget>

#include <memory>

class DiffView;
class NumberColumn;
class QLineEdit;
class QPushButton;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Parvane");
    static inline const QString kIdenticalMessage = QStringLiteral("Estos dos ficheros son idénticos");

    // Without arguments the window uses the desktop's own file dialog and message boxes.
    explicit MainWindow(std::unique_ptr<FileDialog> fileDialog = nullptr,
                        std::unique_ptr<MessageBoxes> messages = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    static QColor highlightColour();

    // Puts `path1` and, when given, `path2` in the path boxes; with both, compares them as
    // "Comparar" does.
    void openFiles(const QString& path1, const QString& path2 = QString());

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void createControls();
    void layOutForSize();
    void setUpTabOrder();
    void connectCommands();

    void chooseFirstFile();
    void chooseSecondFile();
    void chooseFile(QLineEdit* pathBox);
    void compare();
    void showComparison(const QString& path1, const QString& path2);
    void openAbout();
    void quit();

    FileDialog* fileDialog_;
    std::unique_ptr<MessageBoxes> messages_;

    QPushButton* cmdEjecutar_ = nullptr;
    QLineEdit* txtFichero1_ = nullptr;
    QLineEdit* txtFichero2_ = nullptr;
    QPushButton* cmdExaminar1_ = nullptr;
    QPushButton* cmdExaminar2_ = nullptr;
    DiffView* rtb1_ = nullptr;
    DiffView* rtb2_ = nullptr;
    QPushButton* command1_ = nullptr;
    NumberColumn* txtNumeracion2_ = nullptr;
    NumberColumn* txtNumeracion1_ = nullptr;
    QPushButton* command2_ = nullptr;
};
