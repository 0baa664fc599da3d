#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

const QString kUsage = QStringLiteral("Uso: parvane [OPCIÓN] [FICHERO1 [FICHERO2]]");

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOption(help);
    parser.addOption(version);

    CommandLine result;
    auto refuse = [&result](const QString& why) {
        result.action_ = Action::Refuse;
        result.files_.clear();
        result.error_ = QStringLiteral("parvane: %1\n%2\nPruebe «parvane --help» para más "
                                       "información.\n")
                            .arg(why, kUsage);
        return result;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString dashes =
                unknown.first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
            return refuse(QStringLiteral("opción desconocida: %1%2").arg(dashes, unknown.first()));
        }
        return refuse(QStringLiteral("la línea de órdenes no es válida"));
    }
    if (parser.isSet(help)) {
        result.action_ = Action::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action_ = Action::ShowVersion;
        return result;
    }
    result.files_ = parser.positionalArguments();
    if (result.files_.size() > 2) {
        return refuse(QStringLiteral("sobra «%1»: se comparan dos ficheros como mucho")
                          .arg(result.files_[2]));
    }
    return result;
}

QString CommandLine::helpText() {
    return kUsage +
           QStringLiteral(
               "\n"
               "Compara dos ficheros de texto y colorea en rojo cada carácter que difiere del que\n"
               "ocupa la misma línea y columna en el otro fichero.\n"
               "\n"
               "Con un fichero, lo pone como primer fichero. Con dos, abre la ventana con ambos "
               "ya\n"
               "comparados. Sin ficheros, se eligen con los botones «Examinar».\n"
               "\n"
               "Opciones:\n"
               "  -h, --help     muestra esta ayuda y termina\n"
               "  -v, --version  muestra la versión y termina\n"
               "\n"
               "Como herramienta de diferencias de git:\n"
               "  git difftool -x parvane\n"
               "  git config difftool.parvane.cmd 'parvane \"$LOCAL\" \"$REMOTE\"'\n");
}

QString CommandLine::versionText() {
    return QStringLiteral("Parvane %1\n").arg(QStringLiteral(PARVANE_VERSION));
}
