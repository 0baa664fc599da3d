#include "main_window/main_window.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

// Qt aborts when it finds no display; say so plainly instead.
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    if (!hasDisplay()) {
        std::fputs("parvane: no hay pantalla gráfica (DISPLAY no está definida); "
                   "pruebe con: xvfb-run parvane\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parvane"));
    QApplication::setApplicationVersion(QStringLiteral(PARVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("parvane"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    // The interface is Spanish, so Qt's own dialogs speak Spanish too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslator);
    }

    MainWindow window;
    window.show();
    return QApplication::exec();
}
