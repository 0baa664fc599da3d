// The real message boxes, as the user sees them: what a file name in a message turns into.

#include "main_window/qt_message_boxes.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class MessageBoxTest : public QObject {
    Q_OBJECT

private slots:
    void fileNamesAreNeverMarkup_data();
    void fileNamesAreNeverMarkup();
    void aLongPathIsShortenedInTheMiddle();
    void theOfferToCompareWithoutLimitsIsPlainTextWithItsButton_data();
    void theOfferToCompareWithoutLimitsIsPlainTextWithItsButton();

private:
    struct Seen {
        Qt::TextFormat format = Qt::AutoText;
        QString text, detailedText, title;
        QStringList labels;
    };
    // Shows `text` with the real message box class and returns what the box held.
    Seen show(const QString& text);
};

MessageBoxTest::Seen MessageBoxTest::show(const QString& text) {
    Seen seen;
    QTimer::singleShot(0, this, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen = {box->textFormat(), box->text(), box->detailedText(), box->windowTitle(), {}};
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                seen.labels << label->text();
            }
        }
        box->accept();
    });
    QWidget parent;
    QtMessageBoxes().warn(&parent, text);
    return seen;
}

void MessageBoxTest::fileNamesAreNeverMarkup_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("regression: an image tag is not loaded")
        << QStringLiteral("«<img src=/dev/zero>»: no existe");
    QTest::newRow("regression: a heading stays text")
        << QStringLiteral("«/tmp/<h1>grande»: no existe");
    QTest::newRow("regression: an entity is not decoded")
        << QStringLiteral("«a&lt;b.txt»: no existe");
}

void MessageBoxTest::fileNamesAreNeverMarkup() {
    QFETCH(QString, text);
    const Seen seen = show(text);
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.text, text);
    QVERIFY(seen.labels.contains(text));
    QCOMPARE(seen.title, QStringLiteral("Parvane"));
}

void MessageBoxTest::aLongPathIsShortenedInTheMiddle() {
    const QString path =
        QStringLiteral("/srv/") + QString(400, QLatin1Char('d')) + QStringLiteral("/final.txt");
    const QString text = QStringLiteral("«%1»: no existe").arg(path);
    const Seen seen = show(text);
    QVERIFY2(seen.text.contains(QChar(0x2026)), qPrintable(seen.text));
    QVERIFY(seen.text.startsWith(QStringLiteral("«/srv/")));
    QVERIFY(seen.text.endsWith(QStringLiteral("final.txt»: no existe")));
    QCOMPARE(seen.detailedText, text);
}

void MessageBoxTest::theOfferToCompareWithoutLimitsIsPlainTextWithItsButton_data() {
    QTest::addColumn<bool>("pressUnlimited");
    QTest::newRow("Comparar sin límite") << true;
    QTest::newRow("Aceptar") << false;
}

void MessageBoxTest::theOfferToCompareWithoutLimitsIsPlainTextWithItsButton() {
    QFETCH(bool, pressUnlimited);
    const QString text = QStringLiteral("No se puede comparar «<b>grande</b>.txt»: es demasiado "
                                        "grande.");
    Qt::TextFormat format = Qt::AutoText;
    QString shownText;
    QStringList buttons;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        format = box->textFormat();
        shownText = box->text();
        QAbstractButton* unlimited = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            buttons << button->text();
            if (button->text() == QtMessageBoxes::kUnlimitedButton) {
                unlimited = button;
            }
        }
        QVERIFY(unlimited);
        (pressUnlimited ? unlimited : box->button(QMessageBox::Ok))->click();
    });
    QWidget parent;
    const bool taken = QtMessageBoxes().offerUnlimited(&parent, text);
    QCOMPARE(taken, pressUnlimited);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shownText, text);
    QCOMPARE(buttons.size(), 2);
    QVERIFY(buttons.contains(QStringLiteral("Comparar sin límite")));
}

QTEST_MAIN(MessageBoxTest)
#include "message_box_tests.moc"
