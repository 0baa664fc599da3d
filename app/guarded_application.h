#pragma once

// The program's application object. An event handler that runs out of memory (std::bad_alloc)
// where no task of the window catches it itself does not end the program: the event is dropped
// and, once it is over, a Spanish message says what could not be done (memory_shortage.h), over
// the active window. One such message at a time: a shortage met while one shows is not told again.

#include <QApplication>

class GuardedApplication : public QApplication {
    Q_OBJECT

public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;

    // What the message says could not be done, for an event of type `type`.
    static QString taskOf(QEvent::Type type);

private:
    void tell(const QString& text);

    bool telling_ = false;
};
