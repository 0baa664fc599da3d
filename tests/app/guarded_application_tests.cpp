// The application object: an event handler that runs out of memory is told in Spanish, and the
// program goes on.

#include "app/guarded_application.h"

#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <new>

namespace {

// A widget that runs out of memory at every key and click.
class Hungry : public QWidget {
protected:
    void keyPressEvent(QKeyEvent*) override { throw std::bad_alloc(); }
    void mousePressEvent(QMouseEvent*) override { throw std::bad_alloc(); }
};

} // namespace

class GuardedApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void regressionAShortageInAnEventHandlerIsToldAndTheProgramGoesOn_data();
    void regressionAShortageInAnEventHandlerIsToldAndTheProgramGoesOn();
};

void GuardedApplicationTest::regressionAShortageInAnEventHandlerIsToldAndTheProgramGoesOn_data() {
    QTest::addColumn<bool>("key");
    QTest::addColumn<QString>("task");
    QTest::newRow("a key") << true << "atender la tecla pulsada";
    QTest::newRow("a click") << false << "atender el ratón";
}

void GuardedApplicationTest::regressionAShortageInAnEventHandlerIsToldAndTheProgramGoesOn() {
    QFETCH(bool, key);
    QFETCH(QString, task);
    Hungry hungry;
    hungry.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hungry));
    QStringList told;
    // Every box is read and closed; a second shortage while one shows is not told again.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&told, &hungry, key] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told << box->text();
            if (key) {
                QTest::keyClick(&hungry, Qt::Key_A);
            } else {
                QTest::mouseClick(&hungry, Qt::LeftButton);
            }
            box->close();
        }
    });
    poll.start(10);
    if (key) {
        QTest::keyClick(&hungry, Qt::Key_A);
    } else {
        QTest::mouseClick(&hungry, Qt::LeftButton);
    }
    QTRY_COMPARE(told.size(), 1);
    QTest::qWait(50);
    poll.stop();
    QCOMPARE(told.size(), 1);
    QCOMPARE(told[0], QStringLiteral("No hay memoria suficiente para %1. Cierre otros programas y "
                                     "vuelva a intentarlo.")
                          .arg(task));
    QVERIFY(hungry.isVisible());
}

int main(int argc, char* argv[]) {
    GuardedApplication application(argc, argv);
    GuardedApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "guarded_application_tests.moc"
