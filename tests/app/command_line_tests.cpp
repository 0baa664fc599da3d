#include "app/argument_text.h"
#include "app/command_line.h"

#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void helpAndVersionAreSpanish();
    void fileNamesKeepTheirBytes_data();
    void fileNamesKeepTheirBytes();
    void readsReportOptions();
    void noLimitOpensTheWindow();
    void decodingsOfEachFile_data();
    void decodingsOfEachFile();
    void highlightIsForTheWindow();
    void fixedPitchIsForTheWindow();
    void rulesOfWhatIsLeftOut();
    void badRulesAreRefused_data();
    void badRulesAreRefused();
};

void CommandLineTest::parses_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("errorPart");

    const QString none;
    QTest::newRow("nothing") << QStringList{} << Action::Run << QStringList{} << none;
    QTest::newRow("one file") << QStringList{"a.txt"} << Action::Run << QStringList{"a.txt"}
                              << none;
    QTest::newRow("two files") << QStringList{"a.txt", "b c.txt"} << Action::Run
                               << QStringList{"a.txt", "b c.txt"} << none;
    QTest::newRow("dash file after --") << QStringList{"--", "-raro.txt", "b"} << Action::Run
                                        << QStringList{"-raro.txt", "b"} << none;
    QTest::newRow("accents") << QStringList{"año/ñandú.txt"} << Action::Run
                             << QStringList{"año/ñandú.txt"} << none;
    QTest::newRow("--help") << QStringList{"--help"} << Action::ShowHelp << QStringList{} << none;
    QTest::newRow("-h with files")
        << QStringList{"a", "-h"} << Action::ShowHelp << QStringList{} << none;
    QTest::newRow("--version") << QStringList{"--version"} << Action::ShowVersion << QStringList{}
                               << none;
    QTest::newRow("third file") << QStringList{"a", "b", "c"} << Action::Refuse << QStringList{}
                                << "sobra «c»";
    QTest::newRow("unknown long") << QStringList{"--colores"} << Action::Refuse << QStringList{}
                                  << "opción desconocida: --colores";
    QTest::newRow("unknown short")
        << QStringList{"-x", "a"} << Action::Refuse << QStringList{} << "opción desconocida: -x";
    QTest::newRow("regression: joined short options quoted as typed")
        << QStringList{"-hv"} << Action::Refuse << QStringList{} << "opción desconocida: -hv";
    QTest::newRow("regression: three dashes quoted as typed")
        << QStringList{"---"} << Action::Refuse << QStringList{} << "opción desconocida: ---";
    QTest::newRow("regression: Qt's own options after -- are files")
        << QStringList{"--", "-platform", "foo"} << Action::Run << QStringList{"-platform", "foo"}
        << none;
    QTest::newRow("no limit in the window")
        << QStringList{"--sin-limite", "a", "b"} << Action::Run << QStringList{"a", "b"} << none;
    QTest::newRow("no limit with one file")
        << QStringList{"--sin-limite", "a"} << Action::Run << QStringList{"a"} << none;
    QTest::newRow("highlighted differences")
        << QStringList{"--resaltar", "a", "b"} << Action::Run << QStringList{"a", "b"} << none;
    QTest::newRow("a value given to --resaltar")
        << QStringList{"--resaltar=si", "a", "b"} << Action::Refuse << QStringList{}
        << "--resaltar no admite ningún valor: «--resaltar=si»";
    QTest::newRow("fixed-width letters")
        << QStringList{"--ancho-fijo", "a", "b"} << Action::Run << QStringList{"a", "b"} << none;
    QTest::newRow("a value given to --ancho-fijo")
        << QStringList{"--ancho-fijo=si", "a", "b"} << Action::Refuse << QStringList{}
        << "--ancho-fijo no admite ningún valor: «--ancho-fijo=si»";
    QTest::newRow("report") << QStringList{"--informe", "a", "b"} << Action::Report
                            << QStringList{"a", "b"} << none;
    QTest::newRow("report of one file")
        << QStringList{"--informe", "a"} << Action::Refuse << QStringList{} << "dos ficheros";
    QTest::newRow("unknown format") << QStringList{"--formato=xml", "a", "b"} << Action::Refuse
                                    << QStringList{} << "formato desconocido: «xml»";
    QTest::newRow("no line count") << QStringList{"--max-lineas=muchas", "a", "b"} << Action::Refuse
                                   << QStringList{} << "--max-lineas";
    QTest::newRow("html without a name")
        << QStringList{"--html"} << Action::Refuse << QStringList{} << "html";
}

void CommandLineTest::parses() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QStringList, files);
    QFETCH(QString, errorPart);

    const CommandLine line = CommandLine::parse(QStringList{"parvane"} + arguments);
    QCOMPARE(line.action(), action);
    QStringList given;
    for (const auto& file : line.files()) {
        given << QString::fromStdString(file.native());
    }
    QCOMPARE(given, files);
    if (errorPart.isEmpty()) {
        QVERIFY(line.error().isEmpty());
    } else {
        QVERIFY2(line.error().contains(errorPart), qPrintable(line.error()));
        QVERIFY(line.error().contains("Uso: parvane"));
    }
}

void CommandLineTest::helpAndVersionAreSpanish() {
    QVERIFY(CommandLine::helpText().startsWith("Uso: parvane"));
    QVERIFY(CommandLine::helpText().contains("git difftool -y -x parvane"));
    QVERIFY(CommandLine::helpText().contains("difftool.parvane.cmd"));
    QCOMPARE(CommandLine::versionText(), QStringLiteral("Parvane 1.1\n"));
}

// Latin-1 names and names holding a line break reach the engine as the bytes they are.
void CommandLineTest::fileNamesKeepTheirBytes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.txt");
    QTest::newRow("lone continuation byte") << QByteArray("\x80\xbf");
    QTest::newRow("cut-short sequence at the end") << QByteArray("a\xe2\x82");
    QTest::newRow("surrogate in UTF-8 form") << QByteArray("\xed\xa0\x80");
    QTest::newRow("valid UTF-8 and emoji") << QByteArray("ñandú \xf0\x9f\x98\x80");
    QTest::newRow("line break") << QByteArray("a\nb");
}

void CommandLineTest::fileNamesKeepTheirBytes() {
    QFETCH(QByteArray, name);
    char program[] = "parvane";
    QByteArray first = name, second = "b";
    char* argv[] = {program, first.data(), second.data(), nullptr};
    const CommandLine line = CommandLine::parse(3, argv);
    QCOMPARE(line.action(), Action::Run);
    QCOMPARE(QByteArray::fromStdString(line.files().at(0).native()), name);
    QCOMPARE(QByteArray::fromStdString(argumentBytes(argumentText(name.toStdString()))), name);
}

void CommandLineTest::readsReportOptions() {
    const CommandLine line =
        CommandLine::parse(QStringList{"parvane", "--formato=json", "--max-lineas=7", "--html",
                                       "salida.html", "--sin-limite", "a", "b"});
    QCOMPARE(line.action(), Action::Report);
    QCOMPARE(line.format(), CommandLine::Format::Json);
    QCOMPARE(line.maxLines(), std::optional<std::uint64_t>(7));
    QCOMPARE(QString::fromStdString(line.htmlPath().native()), QStringLiteral("salida.html"));
    QVERIFY(line.unlimited());
}

void CommandLineTest::noLimitOpensTheWindow() {
    const CommandLine window = CommandLine::parse(QStringList{"parvane", "--sin-limite", "a", "b"});
    QCOMPARE(window.action(), Action::Run);
    QVERIFY(window.unlimited());
    const CommandLine bounded = CommandLine::parse(QStringList{"parvane", "a", "b"});
    QVERIFY(!bounded.unlimited());
    const CommandLine report =
        CommandLine::parse(QStringList{"parvane", "--informe", "--sin-limite", "a", "b"});
    QCOMPARE(report.action(), Action::Report);
    QVERIFY(report.unlimited());
}

void CommandLineTest::decodingsOfEachFile_data() {
    using enum parvane::DecodingChoice;
    QTest::addColumn<QString>("value");
    QTest::addColumn<QList<parvane::DecodingChoice>>("decodings"); // empty: refused
    QTest::newRow("one for both") << "utf-8" << QList{Utf8, Utf8};
    QTest::newRow("one for each") << "latin-1,utf-8" << QList{Latin1, Utf8};
    QTest::newRow("any case, spaces") << "Windows-1252, AUTO" << QList{Windows1252, Auto};
    QTest::newRow("unknown name") << "utf-16" << QList<parvane::DecodingChoice>{};
    QTest::newRow("three names") << "auto,auto,auto" << QList<parvane::DecodingChoice>{};
    QTest::newRow("nothing") << "" << QList<parvane::DecodingChoice>{};
    QTest::newRow("empty second") << "utf-8," << QList<parvane::DecodingChoice>{};
}

// --codificacion, in the window and in the report; an unknown name is refused, named.
void CommandLineTest::decodingsOfEachFile() {
    QFETCH(QString, value);
    QFETCH(QList<parvane::DecodingChoice>, decodings);
    for (const QString& report : {QString(), QStringLiteral("--informe")}) {
        QStringList arguments{"parvane", "--codificacion=" + value, "a", "b"};
        if (!report.isEmpty()) {
            arguments << report;
        }
        const CommandLine line = CommandLine::parse(arguments);
        if (decodings.isEmpty()) {
            QCOMPARE(line.action(), Action::Refuse);
            QVERIFY2(line.error().contains("--codificacion necesita una codificación (utf-8, "
                                           "windows-1252, latin-1 o auto), o dos separadas por "
                                           "una coma, no «" +
                                           value + "»"),
                     qPrintable(line.error()));
            continue;
        }
        QCOMPARE(line.action(), report.isEmpty() ? Action::Run : Action::Report);
        QVERIFY(line.decodings());
        QCOMPARE(QList((*line.decodings()).begin(), (*line.decodings()).end()), decodings);
    }
    QVERIFY(!CommandLine::parse(QStringList{"parvane", "a", "b"}).decodings());
}

void CommandLineTest::highlightIsForTheWindow() {
    QVERIFY(CommandLine::parse(QStringList{"parvane", "--resaltar", "a", "b"}).highlighted());
    QVERIFY(!CommandLine::parse(QStringList{"parvane", "a", "b"}).highlighted());
    QVERIFY(CommandLine::helpText().contains(QStringLiteral("--resaltar")));
}

void CommandLineTest::fixedPitchIsForTheWindow() {
    QVERIFY(CommandLine::parse(QStringList{"parvane", "--ancho-fijo", "a", "b"}).fixedPitch());
    QVERIFY(!CommandLine::parse(QStringList{"parvane", "--resaltar", "a", "b"}).fixedPitch());
}

// The rules reach the window and the report alike; patterns may be given more than once, and
// --mostrar-omitido asks for a report.
void CommandLineTest::rulesOfWhatIsLeftOut() {
    const CommandLine window =
        CommandLine::parse({"parvane", "--ignorar-columnas=1-10,73-80,120-", "--ignorar-mayusculas",
                            "--ignorar-blancos-finales", "--ignorar-patron=[0-9]{8}",
                            "--ignorar-patron", "h+", "a", "b"});
    QCOMPARE(window.action(), Action::Run);
    const std::vector<std::string> described = window.rules().described();
    QCOMPARE(QString::fromStdString(described.front()), QString("columnas 1-10, 73-80, 120-"));
    QCOMPARE(described.size(), std::size_t{5});
    QVERIFY(!window.showLeftOut());
    QVERIFY(CommandLine::parse({"parvane", "a", "b"}).rules().empty());
    const CommandLine report = CommandLine::parse({"parvane", "--mostrar-omitido", "a", "b"});
    QCOMPARE(report.action(), Action::Report);
    QVERIFY(report.showLeftOut());
}

void CommandLineTest::badRulesAreRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("column zero") << QStringList{"--ignorar-columnas=0-3"}
                                 << "--ignorar-columnas: el tramo «0-3» no vale: las columnas "
                                    "empiezan en 1";
    QTest::newRow("backwards") << QStringList{"--ignorar-columnas", "5-2"}
                               << "--ignorar-columnas: el tramo «5-2» no vale: termina antes de "
                                  "empezar";
    QTest::newRow("empty list")
        << QStringList{"--ignorar-columnas="}
        << "--ignorar-columnas: la lista de columnas está vacía: se escribe como "
           "«1-10,73-80,120-»";
    QTest::newRow("given twice") << QStringList{"--ignorar-columnas=1", "--ignorar-columnas=2"}
                                 << "--ignorar-columnas admite un solo valor, y se ha dado 2 "
                                    "veces: «1», «2»";
    QTest::newRow("pattern that does not compile")
        << QStringList{"--ignorar-patron=a[b"}
        << "--ignorar-patron: la expresión «a[b» no se puede usar: falta el «]» que cierra, en "
           "«[b»";
    QTest::newRow("second pattern matches empty")
        << QStringList{"--ignorar-patron=x", "--ignorar-patron=x*"}
        << "--ignorar-patron: la expresión «x*» no se puede usar: puede encajar con un texto "
           "vacío";
    QTest::newRow("a flag given a value") << QStringList{"--ignorar-mayusculas=si"}
                                          << "--ignorar-mayusculas no admite ningún valor: "
                                             "«--ignorar-mayusculas=si»";
}

void CommandLineTest::badRulesAreRefused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    arguments.prepend("parvane");
    arguments << "a"
              << "b";
    const CommandLine result = CommandLine::parse(arguments);
    QCOMPARE(result.action(), Action::Refuse);
    QVERIFY2(result.error().startsWith("parvane: " + error), qPrintable(result.error()));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_tests.moc"
