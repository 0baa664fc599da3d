#include "about_window/about_window.h"

#include "common/application.h"
#include "common/units.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QTimer>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);

QPalette textOnBlack(QPalette palette, const QColor& text) {
    palette.setColor(QPalette::Window, kBlack);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

// One line of 673 characters. Every entry is followed by a run of spaces far wider than the label,
// so word wrapping starts each entry on a line of its own whatever the font; the last run fills the
// line up to its length.
constexpr int kAboutTextLength = 673;
constexpr int kSpacesAfterEntry = 140;

QString aboutText() {
    const QStringList entries = {
        QStringLiteral("Nombre: %1 %2").arg(application::kTitle, application::kVersion),
        QStringLiteral("Autor: Equipo Parvane"),
        QStringLiteral("Web: https://parvane.example.org"),
        QStringLiteral("E-Mail: info@parvane.example.org"),
    };
    QString text;
    for (const QString& entry : entries) {
        text += entry + QString(kSpacesAfterEntry, QLatin1Char(' '));
    }
    Q_ASSERT(text.size() <= kAboutTextLength);
    text.resize(kAboutTextLength, QLatin1Char(' '));
    return text;
}

} // namespace

// A tool window of its owner: it stays above the owner while the owner is clicked.
AboutWindow::AboutWindow(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint) {
    setUpWindow();
    createAboutText();
    createPicture();
    createSignature();
    placeOverOwner();
    startDeadline();
}

AboutWindow* AboutWindow::showFor(QWidget* owner) {
    AboutWindow* window = findOpen(owner);
    if (!window) {
        window = new AboutWindow(owner);
    }
    window->setEnabled(true);
    window->show();
    window->raise();
    return window;
}

void AboutWindow::closeEvent(QCloseEvent* event) {
    // Once closed the window only waits to be deleted; showFor() must not hand it out again.
    closing_ = true;
    QWidget::closeEvent(event);
}

AboutWindow* AboutWindow::findOpen(QWidget* owner) {
    QList<AboutWindow*> windows;
    if (owner) {
        windows = owner->findChildren<AboutWindow*>(Qt::FindDirectChildrenOnly);
    } else {
        const QWidgetList topLevels = QApplication::topLevelWidgets();
        for (QWidget* widget : topLevels) {
            auto* about = qobject_cast<AboutWindow*>(widget);
            if (about && !about->parentWidget()) {
                windows.append(about);
            }
        }
    }
    for (AboutWindow* window : std::as_const(windows)) {
        if (!window->closing_) {
            return window;
        }
    }
    return nullptr;
}

void AboutWindow::setUpWindow() {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(units::pixelRect(0, 0, 5895, 2115).size());
    setPalette(textOnBlack(palette(), kBlack));
    setAutoFillBackground(true);
}

// A label of plain text in `colour` on black, placed in twips.
QLabel* AboutWindow::addTextLabel(const char* name, QRect twips, const QColor& colour,
                                  const QString& text) {
    auto* label = new QLabel(this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(units::pixelRect(twips.x(), twips.y(), twips.width(), twips.height()));
    label->setPalette(textOnBlack(label->palette(), colour));
    label->setAutoFillBackground(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(text);
    return label;
}

void AboutWindow::createAboutText() {
    addTextLabel("Label1", {60, 120, 3555, 1995}, kRed, aboutText())->setWordWrap(true);
}

void AboutWindow::createPicture() {
    // The frame reaches 3 px past the window's right edge; the picture is stretched to the whole
    // frame all the same.
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(units::pixelRect(4200, 0, 1740, 1890));
    picture->setScaledContents(true);
    picture->setPixmap(QPixmap(QStringLiteral(":/about_window/photo.jpg")));
}

void AboutWindow::createSignature() {
    addTextLabel("Label2", {4200, 1860, 1695, 255}, kYellow, QStringLiteral("Parvane, Jaca"));
}

void AboutWindow::startDeadline() {
    // Started once, here: showing the window again does not give it more time.
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(kLifetimeMs);
    connect(timer, &QTimer::timeout, this, &QWidget::close);
    timer->start();
}

void AboutWindow::placeOverOwner() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : this->screen();
    const QRect available = screen->availableGeometry();

    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(owner ? owner->frameGeometry().center() : available.center());
    frame.moveLeft(qBound(available.left(), frame.left(), available.right() + 1 - frame.width()));
    frame.moveTop(qBound(available.top(), frame.top(), available.bottom() + 1 - frame.height()));
    move(frame.topLeft());
}
