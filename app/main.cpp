#include "app/command_line.h"
#include "app/font_configuration_loader.h"
#include "app/guarded_application.h"
#include "app/qt_messages.h"
#include "common/application.h"
#include "comparison/record_layout.h"
#include "main_window/early_comparison.h"
#include "main_window/main_window.h"
#include "report/report.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

// Qt aborts when it finds no display; say so plainly instead.
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Writes `text` to `stream`; false, with the reason on stderr, when it could not be written.
bool print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) ==
            std::size_t(bytes.size()) &&
        std::fflush(stream) == 0) {
        return true;
    }
    const int error = errno;
    std::fprintf(stderr, "parvane: no se ha podido escribir la salida: %s\n", std::strerror(error));
    return false;
}

// The interface is Spanish, so Qt's own dialogs and buttons speak Spanish too.
void installSpanishTranslation(QTranslator& translator) {
    if (translator.load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&translator);
    }
}

// The report needs no display and no application object: it starts and ends at once.
int writeReport(const CommandLine& commandLine) {
    ReportRequest request;
    request.file1 = commandLine.files().at(0);
    request.file2 = commandLine.files().at(1);
    request.format = commandLine.format() == CommandLine::Format::Json
                         ? ReportRequest::Format::Json
                         : ReportRequest::Format::Text;
    request.maxLines = commandLine.maxLines();
    request.html = commandLine.htmlPath();
    request.unlimited = commandLine.unlimited();
    request.decodings = commandLine.decodings();
    request.layout = commandLine.layoutPath();
    request.rules = commandLine.rules();
    request.showLeftOut = commandLine.showLeftOut();
    return Report::write(request, stdout, stderr);
}

} // namespace

int main(int argc, char* argv[]) {
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    switch (commandLine.action()) {
    case CommandLine::Action::ShowHelp: return print(stdout, CommandLine::helpText()) ? 0 : 1;
    case CommandLine::Action::ShowVersion: return print(stdout, CommandLine::versionText()) ? 0 : 1;
    case CommandLine::Action::Refuse: print(stderr, commandLine.error()); return 2;
    case CommandLine::Action::Report: return writeReport(commandLine);
    case CommandLine::Action::Run: break;
    }
    if (!hasDisplay()) {
        print(stderr, QStringLiteral("parvane: no hay pantalla gráfica (DISPLAY no está "
                                     "definida): Parvane necesita una sesión gráfica.\n"));
        return 1;
    }

    // Qt reads options of its own (-platform, -display, -reverse, ...) from the arguments it is
    // given; every argument here is the program's, so Qt gets none of them.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    qt_messages::install();
    FontConfigurationLoader fonts; // while the application object connects to the display
    GuardedApplication app(qtArgc, qtArgv);
    qt_messages::startUpFinished();
    fonts.wait();
    QApplication::setApplicationName(QStringLiteral("parvane"));
    QApplication::setDesktopFileName(application::kId);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QTranslator translator;
    installSpanishTranslation(translator);

    // Two files given: they are compared, and the views' content made, while the window is made.
    const auto& files = commandLine.files();
    const auto absolute = [](const std::filesystem::path& file) {
        return file.empty() ? file : std::filesystem::absolute(file);
    };
    // The layout's field flags leave out what they say; a layout that cannot be read is told by
    // the window, which reads it again.
    parvane::ComparisonRules rules = commandLine.rules();
    std::shared_ptr<const parvane::RecordLayout> layout;
    if (!commandLine.layoutPath().empty()) {
        try {
            layout = std::make_shared<parvane::RecordLayout>(
                parvane::RecordLayout::read(commandLine.layoutPath()));
            rules.setLayout(layout);
        } catch (const parvane::LayoutError&) {
        }
    }
    std::optional<EarlyComparison> early;
    if (files.size() > 1 && !commandLine.unlimited()) {
        early.emplace(absolute(files[0]), absolute(files[1]), commandLine.decodings(), rules);
    }

    MainWindow window;
    window.setDecodings(commandLine.decodings());
    window.setRules(commandLine.rules());
    // The window says it too, but in boxes, as it has no letters.
    if (const QString missing = MainWindow::missingFontMessage(); !missing.isEmpty()) {
        print(stderr, QStringLiteral("parvane: %1\n").arg(missing));
    }
    window.setHighlightBackground(commandLine.highlighted());
    window.setFixedPitch(commandLine.fixedPitch());
    if (layout) {
        window.setLayout(layout);
    } else if (!commandLine.layoutPath().empty()) {
        window.setLayoutFile(commandLine.layoutPath());
    }
    window.show();
    if (!files.empty()) {
        // The window is already showing, so a message of the comparison appears over it; its
        // first paint shows the files compared.
        window.openFiles(absolute(files[0]),
                         files.size() > 1 ? absolute(files[1]) : std::filesystem::path(),
                         commandLine.unlimited(), early ? &*early : nullptr);
        // Closed while the files were compared: the event loop, which would end the program
        // when the window closes, had not started yet.
        if (!window.isVisible()) {
            return 0;
        }
    }
    return QApplication::exec();
}
