#include "about_window/about_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace {

QLabel* label(QWidget* window, const QString& name) { return window->findChild<QLabel*>(name); }
QTimer* timer1(QWidget* window) { return window->findChild<QTimer*>(QStringLiteral("Timer1")); }

QStringList entriesOf(const QString& text) {
    return text.split(QRegularExpression(" {2,}"), Qt::SkipEmptyParts);
}

// The lines a word-wrapping plain-text label of this font and width makes of
// the text, without their trailing spaces.
QStringList wrappedLines(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum +=
                qAbs(p.red() - q.red()) + qAbs(p.green() - q.green()) + qAbs(p.blue() - q.blue());
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

} // namespace

class AboutWindowTests : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> owner;

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void init() { owner = std::make_unique<QWidget>(); }
    void cleanup() { owner.reset(); }

    void isASmallBlackBorderlessWindow() {
        AboutWindow* window = AboutWindow::showFor(owner.get());
        QCOMPARE(window->objectName(), "Form3");
        QCOMPARE(window->windowTitle(), "Form3");
        QVERIFY(window->isWindow() && window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window->parentWidget(), owner.get());
        QCOMPARE(window->size(), QSize(393, 141));
        QVERIFY(window->isVisible() && window->autoFillBackground());
        QCOMPARE(window->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(window->grab().toImage().pixelColor(260, 70),
                 QColor(Qt::black)); // between the children
    }

    // Regression: a click on the main window hid the about window behind it.
    void regressionStaysAboveItsOwner() {
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        AboutWindow* window = AboutWindow::showFor(owner.get());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->windowHandle());
        QCOMPARE(window->windowHandle()->transientParent(), owner->windowHandle());
        QCOMPARE(window->windowType(), Qt::Tool);
    }

    void childrenSitWhereTheyWereLaidOut_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Label1") << "Label1" << QRect(4, 8, 237, 133);
        QTest::newRow("Image1") << "Image1" << QRect(280, 0, 116, 126);
        QTest::newRow("Label2") << "Label2" << QRect(280, 124, 113, 17);
    }
    void childrenSitWhereTheyWereLaidOut() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QLabel* child = label(AboutWindow::showFor(owner.get()), name);
        QVERIFY(child && child->isVisible());
        QCOMPARE(child->geometry(), geometry);
    }

    void labelsPaintTheirColourOnBlack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("text");
        QTest::newRow("Label1 red") << "Label1" << QColor(255, 0, 0);
        QTest::newRow("Label2 yellow") << "Label2" << QColor(255, 255, 0);
    }
    void labelsPaintTheirColourOnBlack() {
        QFETCH(QString, name);
        QFETCH(QColor, text);
        owner->setFont(QFont(QStringLiteral("Comic Sans MS"), 15)); // must not reach the labels
        QLabel* child = label(AboutWindow::showFor(owner.get()), name);
        QCOMPARE(child->palette().color(QPalette::WindowText), text);
        QCOMPARE(child->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(child->font(), QApplication::font());

        // Painted: black ground, glyphs in the text colour from the top down
        // (anti-aliasing only darkens them).
        const QImage image = child->grab().toImage();
        QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::black));
        int inTextColour = 0, topmost = image.height();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                QCOMPARE(pixel.blue(), 0);
                QVERIFY(text.green() > 0 || pixel.green() == 0);
                if (pixel.red() > 200 && qAbs(pixel.green() - text.green()) < 56) {
                    ++inTextColour;
                    topmost = qMin(topmost, y);
                }
            }
        }
        QVERIFY2(inTextColour > 20, qPrintable(QString::number(inTextColour)));
        QVERIFY(topmost < child->fontMetrics().height());
    }

    void aboutTextHoldsFourEntriesIn673Characters() {
        const QString text = label(AboutWindow::showFor(owner.get()), "Label1")->text();
        QCOMPARE(text.size(), 673);
        QVERIFY(!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')));
        QVERIFY(text.endsWith(QLatin1Char(' ')));
        const QStringList entries = entriesOf(text);
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0], "Nombre: Parvane 1.1");
        QCOMPARE(entries[1], "Autor: Equipo Parvane");
        QVERIFY(entries[2].contains(
            QRegularExpression("^Web: (https?://)?([a-z]+\\.)?parvane\\.example\\.org/?$")));
        QVERIFY(
            entries[3].contains(QRegularExpression("^E-Mail: [a-z.]+@parvane\\.example\\.org$")));
    }

    void eachEntryStartsALineOfItsOwn_data() {
        QTest::addColumn<int>("extraPoints");
        QTest::newRow("window font") << 0;
        QTest::newRow("one point smaller") << -1;
        QTest::newRow("one point larger") << 1;
    }
    void eachEntryStartsALineOfItsOwn() {
        QFETCH(int, extraPoints);
        QLabel* label1 = label(AboutWindow::showFor(owner.get()), "Label1");
        QFont font = label1->font();
        font.setPointSizeF(font.pointSizeF() + extraPoints);
        const int width = label1->contentsRect().width() - 2 * label1->margin();
        const QStringList lines = wrappedLines(label1->text(), font, width);
        QCOMPARE(lines, entriesOf(label1->text()));
        QVERIFY(lines.size() * QFontMetrics(font).lineSpacing() <= label1->contentsRect().height());
    }

    void signatureFitsItsLabel() {
        QLabel* label2 = label(AboutWindow::showFor(owner.get()), "Label2");
        QVERIFY(!label2->text().trimmed().isEmpty());
        const QFontMetrics metrics(label2->font());
        QVERIFY(metrics.horizontalAdvance(label2->text()) <= label2->contentsRect().width());
        QVERIFY(metrics.height() <= label2->contentsRect().height());
    }

    void pictureIsStretchedToItsFrame() {
        QLabel* image1 = label(AboutWindow::showFor(owner.get()), "Image1");
        const QPixmap photo = image1->pixmap();
        QVERIFY(!photo.isNull());
        QCOMPARE(photo.size(), QSize(232, 306));
        QVERIFY(image1->hasScaledContents());

        const QImage shown = image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage source = photo.toImage().convertToFormat(QImage::Format_RGB32);
        const QImage stretched =
            source.scaled(image1->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage unscaled = source.copy(QRect(QPoint(0, 0), image1->size()));
        QVERIFY(meanDifference(shown, stretched) < 8);
        QVERIFY(meanDifference(shown, unscaled) > 3 * meanDifference(shown, stretched));
    }

    void isCentredOverItsOwner_data() {
        QTest::addColumn<QRect>("ownerGeometry");
        QTest::newRow("middle") << QRect(100, 80, 600, 400);
        QTest::newRow("odd size") << QRect(37, 21, 501, 333);
        QTest::newRow("hanging off the top left") << QRect(-500, -300, 600, 400);
    }
    void isCentredOverItsOwner() {
        QFETCH(QRect, ownerGeometry);
        owner->setGeometry(ownerGeometry);
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        AboutWindow* window = AboutWindow::showFor(owner.get());

        const QRect available = owner->screen()->availableGeometry();
        QVERIFY(available.contains(window->frameGeometry()));
        if (available.contains(owner->frameGeometry().center() + QPoint(200, 75))) {
            const QPoint offset =
                window->frameGeometry().center() - owner->frameGeometry().center();
            QVERIFY2(offset.manhattanLength() <= 2,
                     qPrintable(QString("%1,%2").arg(offset.x()).arg(offset.y())));
        }
    }

    void secondPressReusesTheWindowAndItsDeadline() {
        AboutWindow* first = AboutWindow::showFor(owner.get());
        QTimer* timer = timer1(first);
        QVERIFY(timer && timer->isActive() && timer->isSingleShot());
        QCOMPARE(timer->interval(), 10000);
        const int leftAtFirstPress = timer->remainingTime();
        QVERIFY(leftAtFirstPress > 9000 && leftAtFirstPress <= 10000);

        QTest::qWait(300);
        first->setEnabled(false);
        QCOMPARE(AboutWindow::showFor(owner.get()), first);
        QCOMPARE(owner->findChildren<AboutWindow*>().size(), 1);
        QVERIFY(first->isEnabled());
        QVERIFY(timer1(first) == timer && timer->isActive());
        QVERIFY(timer->remainingTime() <= leftAtFirstPress - 250);
    }

    // The one real wait of the suite.
    void closesTenSecondsAfterTheFirstPress() {
        QElapsedTimer sinceFirstPress;
        sinceFirstPress.start();
        const QPointer<AboutWindow> window = AboutWindow::showFor(owner.get());
        QTest::qWait(1500);
        QCOMPARE(AboutWindow::showFor(owner.get()), window.data());

        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 13000);
        QVERIFY2(sinceFirstPress.elapsed() >= 9950 && sinceFirstPress.elapsed() < 11000,
                 qPrintable(QString::number(sinceFirstPress.elapsed())));
    }

    void reopensFreshAfterClosing() {
        const QPointer<AboutWindow> first = AboutWindow::showFor(owner.get());
        timer1(first)->start(20); // bring the deadline forward
        QTRY_VERIFY(first.isNull());
        QVERIFY(owner->findChildren<AboutWindow*>().isEmpty());

        const QPointer<AboutWindow> second = AboutWindow::showFor(owner.get());
        QVERIFY(second && second->isVisible());
        QCOMPARE(timer1(second)->interval(), 10000);
        QVERIFY(timer1(second)->remainingTime() > 9500);
    }

    void closedWindowIsNotHandedOutAgain() {
        const QPointer<AboutWindow> closed = AboutWindow::showFor(owner.get());
        closed->close(); // deleted later, back in the event loop
        const QPointer<AboutWindow> reopened = AboutWindow::showFor(owner.get());
        QVERIFY(reopened != closed);
        QTRY_VERIFY(closed.isNull());
        QVERIFY(reopened && reopened->isVisible());
    }

    void withoutOwnerThereIsStillOnlyOne() {
        const QPointer<AboutWindow> window = AboutWindow::showFor(nullptr);
        QCOMPARE(window->parentWidget(), nullptr);
        QCOMPARE(AboutWindow::showFor(nullptr), window.data());
        QCOMPARE(AboutWindow::showFor(owner.get())->parentWidget(), owner.get());
        delete window.data();
    }

    void ownerKeepsWorkingAndTakesTheWindowAlong() {
        auto* button = new QPushButton(QStringLiteral("Comparar"), owner.get());
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        const QPointer<AboutWindow> window = AboutWindow::showFor(owner.get());
        QVERIFY(QTest::qWaitForWindowExposed(window.data()));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        QSignalSpy clicked(button, &QPushButton::clicked);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
        QVERIFY(window && window->isVisible());

        owner.reset(); // "Salir"
        QVERIFY(window.isNull());
    }
};

QTEST_MAIN(AboutWindowTests)
#include "about_window_tests.moc"
