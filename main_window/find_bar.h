#pragma once

// The bar of the search (Ctrl+F, F3, Shift+F3) and of the move to a line (Ctrl+G). It lies over
// the bottom of the two views while in use and is hidden otherwise, so that no control of the
// window moves; it follows the views when the window is resized.
//
// A search looks in the whole file of the view last focused (comparison_views.h, text_search.h):
// Enter or the arrow down finds the next match, Shift+Enter or the arrow up the previous one, and
// the bar says where it is, or that there is none. F3 and Shift+F3 do the same with the text of the
// open bar, or else the text last looked for, showing the bar, or open it when nothing has been
// looked for. The move to a line takes a line number, from 1 to the number of lines of the longer
// file, moves both views there and closes the bar; a number out of range is refused in the bar.
// Escape closes the bar and gives the keyboard back to the view. Nothing opens before a comparison.
// The bar is a child of the window, and the views and what shows the comparison must outlive it.

#include <QFrame>
#include <QString>

class ComparisonViews;
class DiffView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShortcut;
class QToolButton;
class QValidator;

class FindBar : public QFrame {
    Q_OBJECT

public:
    enum class Mode { Find, Line };

    FindBar(DiffView* first, DiffView* second, ComparisonViews* views, QWidget* window);

    // Ctrl+F: the bar for a search in the file of the view last focused, its text selected.
    void openFind();
    // Ctrl+G: the bar for a line number.
    void openLine();
    // F3 (forward), Shift+F3.
    void findAgain(bool forward);
    // Escape: the bar hidden, and the keyboard back to the view.
    void dismiss();

    Mode mode() const { return mode_; }
    // The view whose file the bar searches, 1 or 2.
    int searchedView() const { return view_; }
    // What the bar says of its last search or move, as it shows it (cut short to fit; its tooltip
    // holds it whole); empty when it has said nothing.
    QString status() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the bar in `mode`, over the bottom of both views.
    void open(Mode mode);
    void place();
    // Enter, or the bar's button.
    void go(bool forward);
    void find(bool forward);
    void goToLine();
    void say(const QString& text);
    void fitStatus();
    DiffView* view() const;

    DiffView* first_;
    DiffView* second_;
    ComparisonViews* views_;
    DiffView* lastFocused_;
    QLabel* label_;
    QLineEdit* edit_;
    QToolButton* previous_;
    QToolButton* next_;
    QPushButton* goButton_;
    QCheckBox* matchCase_;
    QLabel* status_;
    QToolButton* close_;
    QValidator* lineNumber_;
    QShortcut* escape_;
    Mode mode_ = Mode::Find;
    int view_ = 1;
    QString findText_; // what the last search looked for
    QString said_;     // the status whole
};
