#pragma once

// The modal messages the main window shows, behind an interface so that tests can record them
// instead of waiting in a modal loop. Every message carries the application's title.

#include <QString>

class QWidget;

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // A plain message with an OK button and no icon; returns when it is closed.
    virtual void inform(QWidget* parent, const QString& text) = 0;

    // An error message; returns when it is closed.
    virtual void warn(QWidget* parent, const QString& text) = 0;

    // An error message about files past the size limits, with a second button, "Comparar sin
    // límite", beside OK; true when that button closed it.
    virtual bool offerUnlimited(QWidget* parent, const QString& text) = 0;
};
