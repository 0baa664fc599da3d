#pragma once

// The "Acerca de..." window (Form3): the program's name and version, its author, web and e-mail
// addresses, a picture and a signature line, on black.
//
// Open it with AboutWindow::showFor(owner), owner being the main window:
//  - one about window per owner: while one is open, showFor() shows, enables and raises that same
//    window again and leaves its deadline alone; otherwise it creates a new one as a child of
//    owner, centred over it;
//  - modeless: showFor() returns at once and the owner stays usable;
//  - the window closes and deletes itself 10 s after it was created (Timer1), and it is deleted
//    together with its owner at the latest. Keep the returned pointer in a QPointer if you need it
//    beyond the current handler.
// A null owner gives one parentless about window for the whole application. Its colours live in
// palettes; as a child of the owner it would also take up any style sheet rule of the owner that is
// not limited to the owner's widgets.

#include <QWidget>

class QCloseEvent;
class QLabel;

class AboutWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLifetimeMs = 10000;

    explicit AboutWindow(QWidget* owner = nullptr);

    static AboutWindow* showFor(QWidget* owner);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static AboutWindow* findOpen(QWidget* owner);

    void setUpWindow();
    QLabel* addTextLabel(const char* name, QRect twips, const QColor& colour, const QString& text);
    void createAboutText();
    void createPicture();
    void createSignature();
    void startDeadline();
    void placeOverOwner();

    bool closing_ = false;
};
