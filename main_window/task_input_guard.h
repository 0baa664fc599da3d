#pragma once

// Keeps the user's input away from a window while the progress dialog of one of its long tasks
// shows, as a window-modal dialog would, but lets the window system's request to close the window
// through, which a modal dialog would drop until the task ends. Closing the window, before or
// after the dialog shows, cancels the task as the dialog's "Cancelar" does (the dialog then tells
// wasCanceled()), and the window closes.
//
// Made by ComparisonProgress::setUpDialog() as a child of the dialog, it watches the application's
// events while the dialog lives. The window must outlive the dialog.

#include <QObject>

class QProgressDialog;
class QWidget;

class TaskInputGuard : public QObject {
public:
    TaskInputGuard(QProgressDialog* dialog, QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inWindow(QObject* object) const;

    QProgressDialog* dialog_;
    QWidget* window_;
};
