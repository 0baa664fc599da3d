#include "app/command_line.h"

#include "app/argument_text.h"
#include "common/application.h"
#include "comparison/text_decoding.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>

namespace {

const QString kUsage = QStringLiteral("Uso: parvane [OPCIÓN]... [FICHERO1 [FICHERO2]]");

// An argument as the user typed it, fit to be quoted in a message.
QString shown(const QString& argument) {
    return QString::fromStdString(parvane::printable(argumentBytes(argument)));
}

// The option the user typed that the parser calls `name`: "-hv" is read as the long option "hv",
// and the message should quote what was typed, not what the parser made of it.
QString typedOption(const QStringList& arguments, const QString& name) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            break;
        }
        const QString typed = argument.section(QLatin1Char('='), 0, 0);
        if (typed == QLatin1Char('-') + name || typed == QStringLiteral("--") + name) {
            return typed;
        }
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// What an option that takes a value needs, said in Spanish: "--html necesita el nombre del
// fichero que se escribe". Each such option keeps that wording as its description.
QString needsValue(const QString& typed, const QCommandLineOption& option) {
    return QStringLiteral("%1 necesita %2").arg(shown(typed), option.description());
}

// Why the parser refused `arguments` when none of its options was unknown: an option that takes
// no value was given one ("--informe=si"), or one that takes a value ended the command line
// without it. The parser says so in English, so the fault is found again here, reading the
// arguments as the parser does (the one after an option that takes a value is that value).
QString valueFault(const QStringList& arguments, const QList<QCommandLineOption>& options) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            break;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            continue;
        }
        const QString typed = argument.section(QLatin1Char('='), 0, 0);
        const QString name = typed.mid(typed.startsWith(QStringLiteral("--")) ? 2 : 1);
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&name](const QCommandLineOption& candidate) {
                                             return candidate.names().contains(name);
                                         });
        if (option == options.end()) {
            continue;
        }
        const bool joined = argument.contains(QLatin1Char('='));
        if (option->valueName().isEmpty()) {
            if (joined) {
                return QStringLiteral("%1 no admite ningún valor: «%2»")
                    .arg(shown(typed), shown(argument));
            }
        } else if (!joined) {
            if (i + 1 == arguments.size()) {
                return needsValue(typed, *option);
            }
            ++i;
        }
    }
    return QStringLiteral("la línea de órdenes no se entiende");
}

// The decodings that --codificacion names: one for both files, or one for each separated by a
// comma; none when a name is not one of them.
std::optional<parvane::DecodingChoices> decodingsNamed(const QString& value) {
    const auto named = [](const QString& name) -> std::optional<parvane::DecodingChoice> {
        const QString lower = name.trimmed().toLower();
        if (lower == QStringLiteral("utf-8")) {
            return parvane::DecodingChoice::Utf8;
        }
        if (lower == QStringLiteral("windows-1252")) {
            return parvane::DecodingChoice::Windows1252;
        }
        if (lower == QStringLiteral("latin-1")) {
            return parvane::DecodingChoice::Latin1;
        }
        if (lower == QStringLiteral("auto")) {
            return parvane::DecodingChoice::Auto;
        }
        return std::nullopt;
    };
    const QStringList names = value.split(QLatin1Char(','));
    if (names.size() > 2) {
        return std::nullopt;
    }
    const auto first = named(names.constFirst());
    const auto second = named(names.constLast());
    if (!first || !second) {
        return std::nullopt;
    }
    return parvane::DecodingChoices{*first, *second};
}

} // namespace

CommandLine CommandLine::parse(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << argumentText(argv[i]);
    }
    return parse(arguments);
}

CommandLine CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption report(QStringLiteral("informe"), QString());
    // An option that takes a value describes that value, for the messages that ask for it.
    const QCommandLineOption format(QStringLiteral("formato"),
                                    QStringLiteral("un formato, «texto» o «json»"),
                                    QStringLiteral("F"));
    const QCommandLineOption maxLines(QStringLiteral("max-lineas"),
                                      QStringLiteral("un número de líneas"), QStringLiteral("N"));
    const QCommandLineOption html(QStringLiteral("html"),
                                  QStringLiteral("el nombre del fichero que se escribe"),
                                  QStringLiteral("SALIDA"));
    const QCommandLineOption unlimited(QStringLiteral("sin-limite"), QString());
    const QCommandLineOption decoding(
        QStringLiteral("codificacion"),
        QStringLiteral("una codificación (utf-8, windows-1252, "
                       "latin-1 o auto), o dos separadas por una coma"),
        QStringLiteral("X[,Y]"));
    const QCommandLineOption highlighted(QStringLiteral("resaltar"), QString());
    const QCommandLineOption fields(QStringLiteral("campos"),
                                    QStringLiteral("el fichero de un formato de campos"),
                                    QStringLiteral("FICHERO"));
    const QCommandLineOption fixedPitch(QStringLiteral("ancho-fijo"), QString());
    const QCommandLineOption ignoreColumns(
        QStringLiteral("ignorar-columnas"),
        QStringLiteral("una lista de columnas, como «1-10,73-80,120-»"),
        QStringLiteral("COLUMNAS"));
    const QCommandLineOption ignoreCase(QStringLiteral("ignorar-mayusculas"), QString());
    const QCommandLineOption ignoreBlanks(QStringLiteral("ignorar-blancos-finales"), QString());
    const QCommandLineOption ignorePattern(QStringLiteral("ignorar-patron"),
                                           QStringLiteral("una expresión regular"),
                                           QStringLiteral("EXPRESIÓN"));
    const QCommandLineOption showLeftOut(QStringLiteral("mostrar-omitido"), QString());
    const QList<QCommandLineOption> options{help,        version,      report,        format,
                                            maxLines,    html,         unlimited,     decoding,
                                            highlighted, fields,       fixedPitch,    ignoreColumns,
                                            ignoreCase,  ignoreBlanks, ignorePattern, showLeftOut};
    parser.addOptions(options);

    // An option as the user typed it, for the messages about it.
    auto typed = [&arguments](const QCommandLineOption& option) {
        return typedOption(arguments, option.names().constFirst());
    };
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
            return refuse(QStringLiteral("opción desconocida: %1")
                              .arg(shown(typedOption(arguments, unknown.first()))));
        }
        return refuse(valueFault(arguments, options));
    }
    // An option that takes one value, given twice, would have one of them silently ignored.
    for (const QCommandLineOption& option : options) {
        const QStringList values = parser.values(option);
        // Patterns are many by nature.
        if (values.size() > 1 && option.names() != ignorePattern.names()) {
            QStringList quoted;
            for (const QString& value : values) {
                quoted << QStringLiteral("«%1»").arg(shown(value));
            }
            return refuse(QStringLiteral("%1 admite un solo valor, y se ha dado %2 veces: %3")
                              .arg(shown(typed(option)))
                              .arg(values.size())
                              .arg(quoted.join(QStringLiteral(", "))));
        }
    }
    if (parser.isSet(help)) {
        result.action_ = Action::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action_ = Action::ShowVersion;
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 2) {
        return refuse(
            QStringLiteral("sobra «%1»: se comparan dos ficheros como mucho").arg(shown(files[2])));
    }
    for (const QString& file : files) {
        result.files_.emplace_back(argumentBytes(file));
    }
    result.unlimited_ = parser.isSet(unlimited);
    if (parser.isSet(decoding)) {
        result.decodings_ = decodingsNamed(parser.value(decoding));
        if (!result.decodings_) {
            return refuse(
                QStringLiteral("%1, no «%2»")
                    .arg(needsValue(typed(decoding), decoding), shown(parser.value(decoding))));
        }
    }
    result.highlighted_ = parser.isSet(highlighted);
    if (parser.isSet(fields)) {
        if (parser.value(fields).isEmpty()) {
            return refuse(needsValue(typed(fields), fields));
        }
        result.layoutPath_ = argumentBytes(parser.value(fields));
    }
    result.fixedPitch_ = parser.isSet(fixedPitch);
    // A rule refused by the engine: the option as typed, then the fault.
    const auto refuseRule = [&](const QCommandLineOption& option,
                                const parvane::RulesError& error) {
        return refuse(QStringLiteral("%1: %2").arg(shown(typed(option)),
                                                   QString::fromStdString(error.what())));
    };
    if (parser.isSet(ignoreColumns)) {
        try {
            result.rules_.addColumns(argumentBytes(parser.value(ignoreColumns)));
        } catch (const parvane::RulesError& error) {
            return refuseRule(ignoreColumns, error);
        }
    }
    result.rules_.setIgnoreCase(parser.isSet(ignoreCase));
    result.rules_.setIgnoreTrailingBlanks(parser.isSet(ignoreBlanks));
    for (const QString& pattern : parser.values(ignorePattern)) {
        try {
            result.rules_.addPattern(argumentBytes(pattern));
        } catch (const parvane::RulesError& error) {
            return refuseRule(ignorePattern, error);
        }
    }
    result.showLeftOut_ = parser.isSet(showLeftOut);

    const bool reportAsked = parser.isSet(report) || parser.isSet(format) ||
                             parser.isSet(maxLines) || parser.isSet(html) ||
                             parser.isSet(showLeftOut);
    if (!reportAsked) {
        return result;
    }
    if (parser.isSet(format)) {
        const QString name = parser.value(format);
        if (name == QStringLiteral("json")) {
            result.format_ = Format::Json;
        } else if (name != QStringLiteral("texto")) {
            return refuse(QStringLiteral("formato desconocido: «%1» (son «texto» y «json»)")
                              .arg(shown(name)));
        }
    }
    if (parser.isSet(maxLines)) {
        bool ok = false;
        const qulonglong count = parser.value(maxLines).toULongLong(&ok);
        if (!ok) {
            return refuse(
                QStringLiteral("%1, no «%2»")
                    .arg(needsValue(typed(maxLines), maxLines), shown(parser.value(maxLines))));
        }
        result.maxLines_ = count;
    }
    if (parser.isSet(html)) {
        if (parser.value(html).isEmpty()) {
            return refuse(needsValue(typed(html), html));
        }
        result.htmlPath_ = argumentBytes(parser.value(html));
    }
    if (result.files_.size() != 2) {
        return refuse(QStringLiteral("un informe compara dos ficheros: faltan ficheros"));
    }
    result.action_ = Action::Report;
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
               "  -h, --help          muestra esta ayuda y termina\n"
               "  -v, --version       muestra la versión y termina\n"
               "      --sin-limite    compara ficheros de cualquier tamaño, en la ventana o en el\n"
               "                      informe\n"
               "      --resaltar      en la ventana, pone además un fondo claro tras cada "
               "carácter\n"
               "                      que difiere, para no depender solo del color\n"
               "      --ancho-fijo    en la ventana, escribe con letra de ancho fijo, cada "
               "carácter\n"
               "                      en una columna, con una regla de columnas sobre el texto\n"
               "      --informe       no abre la ventana: escribe las diferencias en la salida\n"
               "      --formato=F     formato del informe: texto (el de siempre) o json\n"
               "      --max-lineas=N  muestra como mucho N líneas que difieren (los totales\n"
               "                      cuentan todas)\n"
               "      --html SALIDA   escribe en SALIDA una página HTML con la comparación\n"
               "      --campos=FICHERO\n"
               "                      nombra el campo de cada diferencia según el formato de\n"
               "                      campos de FICHERO, en la ventana o en el informe\n"
               "      --codificacion=X[,Y]\n"
               "                      lee ambos ficheros como X, o el primero como X y el segundo\n"
               "                      como Y: utf-8, windows-1252, latin-1 o auto (UTF-8 si el\n"
               "                      fichero lo es, si no Windows-1252)\n"
               "      --ignorar-columnas=COLUMNAS\n"
               "                      no compara esas columnas de ninguna línea: tramos desde 1,\n"
               "                      ambos incluidos, como 1-10,73-80,120- (120- llega al final)\n"
               "      --ignorar-mayusculas\n"
               "                      las letras que solo difieren en mayúsculas son iguales\n"
               "      --ignorar-blancos-finales\n"
               "                      no compara los espacios y tabuladores del final de la línea\n"
               "      --ignorar-patron=EXPRESIÓN\n"
               "                      donde la expresión regular encaja en una de las dos líneas,\n"
               "                      esas columnas no se comparan en ninguna; se puede repetir\n"
               "      --mostrar-omitido\n"
               "                      el informe lista también lo que difiere solo en lo omitido\n"
               "  --                  lo que sigue son ficheros, aunque empiecen por «-»\n"
               "\n"
               "El informe termina con 0 si los ficheros son idénticos, 1 si difieren y 2 si\n"
               "hubo un problema. Lo omitido no cuenta: los caracteres que solo difieren en ello\n"
               "se cuentan aparte, y no hacen que los ficheros difieran.\n"
               "\n"
               "Como herramienta de diferencias de git:\n"
               "  git difftool -y -x parvane\n"
               "o, una vez configurada, con «git difftool -y -t parvane»:\n"
               "  git config difftool.parvane.cmd 'parvane \"$LOCAL\" \"$REMOTE\"'\n");
}

QString CommandLine::versionText() {
    return QStringLiteral("%1 %2\n").arg(application::kTitle, application::kVersion);
}
