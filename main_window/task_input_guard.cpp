#include "main_window/task_input_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TaskInputGuard::TaskInputGuard(QProgressDialog* dialog, QWidget* window)
    : QObject(dialog), dialog_(dialog), window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool TaskInputGuard::inWindow(QObject* object) const {
    if (object->isWidgetType()) {
        return static_cast<QWidget*>(object)->window() == window_;
    }
    // The window's own platform window, and what lives in the window, such as its shortcuts.
    if (object == window_->windowHandle()) {
        return true;
    }
    for (QObject* parent = object->parent(); parent; parent = parent->parent()) {
        if (parent->isWidgetType()) {
            return static_cast<QWidget*>(parent)->window() == window_;
        }
    }
    return false;
}

bool TaskInputGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == window_) {
        dialog_->cancel();
        return false;
    }
    if (!dialog_->isVisible() || !inWindow(watched)) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::ToolTip: return true;
    case QEvent::WindowActivate:
        // The window taken to the front hands the keyboard back to the dialog.
        if (watched == window_) {
            QTimer::singleShot(0, dialog_, [dialog = dialog_] {
                dialog->raise();
                dialog->activateWindow();
            });
        }
        return false;
    default: return false;
    }
}
