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
}

void CommandLineTest::parses() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QStringList, files);
    QFETCH(QString, errorPart);

    const CommandLine line = CommandLine::parse(QStringList{"parvane"} + arguments);
    QCOMPARE(line.action(), action);
    QCOMPARE(line.files(), files);
    if (errorPart.isEmpty()) {
        QVERIFY(line.error().isEmpty());
    } else {
        QVERIFY2(line.error().contains(errorPart), qPrintable(line.error()));
        QVERIFY(line.error().contains("Uso: parvane"));
    }
}

void CommandLineTest::helpAndVersionAreSpanish() {
    QVERIFY(CommandLine::helpText().startsWith("Uso: parvane"));
    QVERIFY(CommandLine::helpText().contains("git difftool -x parvane"));
    QCOMPARE(CommandLine::versionText(), QStringLiteral("Parvane 1.1\n"));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_tests.moc"
