#include "app/guarded_application.h"

#include "main_window/memory_shortage.h"
#include "main_window/qt_message_boxes.h"

#include <QEvent>
#include <QTimer>

#include <new>

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        tell(memory_shortage::message(taskOf(event->type()),
                                      tr("Cierre otros programas y vuelva a intentarlo.")));
        return true;
    }
}

QString GuardedApplication::taskOf(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut: return tr("atender la tecla pulsada");
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu: return tr("atender el ratón");
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: return tr("recibir lo que se ha soltado en la ventana");
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::Resize:
    case QEvent::LayoutRequest:
    case QEvent::Show: return tr("dibujar la ventana");
    default: return tr("terminar la última orden");
    }
}

// The message waits for the event loop, so that the handler that ran out has been left; its own
// events are not guarded against a second message.
void GuardedApplication::tell(const QString& text) {
    if (telling_) {
        return;
    }
    telling_ = true;
    QTimer::singleShot(0, this, [this, text] {
        QtMessageBoxes().warn(activeWindow(), text);
        telling_ = false;
    });
}
