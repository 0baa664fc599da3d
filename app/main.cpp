#include "app/command_line.h"
#include "main_window/main_window.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

// Qt aborts when it finds no display; say so plainly instead.
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The interface is Spanish, so Qt's own dialogs and buttons speak Spanish too.
void installSpanishTranslation(QTranslator& translator) {
    if (translator.load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&translator);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const CommandLine commandLine = CommandLine::parse(argumentsOf(argc, argv));
    switch (commandLine.action()) {
    case CommandLine::Action::ShowHelp: print(stdout, CommandLine::helpText()); return 0;
    case CommandLine::Action::ShowVersion: print(stdout, CommandLine::versionText()); return 0;
    case CommandLine::Action::Refuse: print(stderr, commandLine.error()); return 2;
    case CommandLine::Action::Run: break;
    }
    if (!hasDisplay()) {
        print(stderr, QStringLiteral("parvane: no hay pantalla gráfica (DISPLAY no está "
                                     "definida); pruebe con: xvfb-run parvane\n"));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.parvane"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QTranslator translator;
    installSpanishTranslation(translator);

    MainWindow window;
    window.show();
    std::vector<std::filesystem::path> files;
    for (const QString& file : commandLine.files()) {
        files.push_back(std::filesystem::absolute(QFile::encodeName(file).toStdString()));
    }
    if (!files.empty()) {
        // The window is already showing, so a message of the comparison appears over it; its
        // first paint shows the files compared.
        files.resize(2);
        window.openFiles(files[0], files[1]);
    }
    return QApplication::exec();
}
