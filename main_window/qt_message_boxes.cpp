#include "main_window/qt_message_boxes.h"

#include "common/application.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

namespace {

// A word (a path, say) wider than this share of the screen is shortened in the middle, where
// the box would otherwise cut it off at its right edge; the whole text is then kept under
// "Mostrar detalles...".
constexpr double kWidestWord = 0.6;

QString withLongWordsShortened(const QString& text, const QFontMetrics& metrics, int widest) {
    static const QRegularExpression word(QStringLiteral("\\S+"));
    QString shortened = text;
    // From the last word back, so that earlier offsets stay valid.
    QList<QRegularExpressionMatch> words;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        words.prepend(it.next());
    }
    for (const QRegularExpressionMatch& match : words) {
        if (metrics.horizontalAdvance(match.captured()) > widest) {
            shortened.replace(match.capturedStart(), match.capturedLength(),
                              metrics.elidedText(match.captured(), Qt::ElideMiddle, widest));
        }
    }
    return shortened;
}

// Shows the box; with `unlimitedButton`, true when that button closed it.
bool showModal(QWidget* parent, QMessageBox::Icon icon, const QString& text,
               const QString& unlimitedButton = QString()) {
    QMessageBox box(icon, application::kTitle, QString(), QMessageBox::Ok, parent);
    QAbstractButton* unlimited = nullptr;
    if (!unlimitedButton.isEmpty()) {
        unlimited = box.addButton(unlimitedButton, QMessageBox::AcceptRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    // A file name is text, never markup: "<img src=/dev/zero>" must not be loaded.
    box.setTextFormat(Qt::PlainText);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int widest = int((screen ? screen->availableGeometry().width() : 1024) * kWidestWord);
    const QString shown = withLongWordsShortened(text, QFontMetrics(box.font()), widest);
    box.setText(shown);
    if (shown != text) {
        box.setDetailedText(text);
    }
    box.exec();
    return unlimited && box.clickedButton() == unlimited;
}

} // namespace

void QtMessageBoxes::inform(QWidget* parent, const QString& text) {
    showModal(parent, QMessageBox::NoIcon, text);
}

void QtMessageBoxes::warn(QWidget* parent, const QString& text) {
    showModal(parent, QMessageBox::Warning, text);
}

bool QtMessageBoxes::offerUnlimited(QWidget* parent, const QString& text) {
    return showModal(parent, QMessageBox::Warning, text, kUnlimitedButton);
}
