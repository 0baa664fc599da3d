#include "app/qt_messages.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace qt_messages {
namespace {

QtMessageHandler qtHandler = nullptr;
bool startingUp = true;

QByteArray displayName() {
    const QByteArray x11 = qgetenv("DISPLAY");
    return x11.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : x11;
}

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) {
        return;
    }
    if (startingUp) {
        // Qt's platform plugins say why they could not start before the fatal error; the
        // Spanish line below says it for them.
        if (context.category && QByteArray(context.category).startsWith("qt.qpa")) {
            return;
        }
        if (type == QtFatalMsg) {
            std::fprintf(stderr,
                         "parvane: no se puede abrir la pantalla gráfica «%s»: compruebe que la "
                         "sesión gráfica está abierta y que DISPLAY la nombra.\n",
                         displayName().constData());
            std::_Exit(1);
        }
    }
    if (qtHandler) {
        qtHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    if (type == QtFatalMsg) {
        std::abort();
    }
}

} // namespace

void install() { qtHandler = qInstallMessageHandler(handle); }

void startUpFinished() { startingUp = false; }

} // namespace qt_messages
