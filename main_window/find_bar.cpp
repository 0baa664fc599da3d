#include "main_window/find_bar.h"

#include "comparison/comparison_notes.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"
#include "main_window/reading_aids.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QToolButton>

#include <algorithm>

namespace {

// A line or column number as the notes write it, "20 514".
QString grouped(std::uint64_t number) {
    return QString::fromStdString(parvane::groupedNumber(number));
}

} // namespace

FindBar::FindBar(DiffView* first, DiffView* second, ComparisonViews* views, QWidget* window)
    : QFrame(window), first_(first), second_(second), views_(views), lastFocused_(first),
      label_(new QLabel(this)), edit_(new QLineEdit(this)), previous_(new QToolButton(this)),
      next_(new QToolButton(this)), goButton_(new QPushButton(QStringLiteral("Ir"), this)),
      matchCase_(new QCheckBox(QStringLiteral("Mayúsculas"), this)), status_(new QLabel(this)),
      close_(new QToolButton(this)),
      // Line numbers as Spanish writes them, "20 514" or "20.514", are taken too.
      lineNumber_(
          new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 .]*")), this)),
      escape_(new QShortcut(QKeySequence(Qt::Key_Escape), window)) {
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    label_->setObjectName(QStringLiteral("FindLabel"));
    edit_->setObjectName(QStringLiteral("FindText"));
    previous_->setObjectName(QStringLiteral("FindPrevious"));
    next_->setObjectName(QStringLiteral("FindNext"));
    goButton_->setObjectName(QStringLiteral("GoToLine"));
    matchCase_->setObjectName(QStringLiteral("MatchCase"));
    matchCase_->setToolTip(QStringLiteral("Distingue las mayúsculas de las minúsculas"));
    status_->setObjectName(QStringLiteral("FindStatus"));
    status_->setTextFormat(Qt::PlainText);
    // The status takes the room left, cut short with "…" in a narrow window (its tooltip holds it
    // whole), and the text box keeps room for a few words.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    edit_->setMinimumWidth(edit_->fontMetrics().averageCharWidth() * 16);
    // A sign in the bar's own font, enlarged: the style's close icon is faint on the window's
    // colour.
    close_->setText(QStringLiteral("×"));
    QFont sign = close_->font();
    if (sign.pointSizeF() > 0) {
        sign.setPointSizeF(sign.pointSizeF() * 2);
    } else {
        sign.setPixelSize(sign.pixelSize() * 2);
    }
    close_->setFont(sign);
    const int side = edit_->sizeHint().height();
    close_->setFixedSize(side, side);
    close_->setAccessibleName(QStringLiteral("Cerrar"));
    close_->setToolTip(QStringLiteral("Cerrar (Esc)"));
    close_->setAutoRaise(true);
    // Arrows, as other programs' find bars have them, leave the status room in a small window.
    previous_->setArrowType(Qt::UpArrow);
    previous_->setAccessibleName(QStringLiteral("Anterior"));
    previous_->setToolTip(QStringLiteral("Anterior (Mayús+F3, Mayús+Intro)"));
    next_->setArrowType(Qt::DownArrow);
    next_->setAccessibleName(QStringLiteral("Siguiente"));
    next_->setToolTip(QStringLiteral("Siguiente (F3, Intro)"));
    goButton_->setAutoDefault(false);
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{previous_, next_, goButton_}) {
        button->setFocusPolicy(Qt::ClickFocus);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(label_);
    layout->addWidget(edit_, 2);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(goButton_);
    layout->addWidget(matchCase_);
    layout->addWidget(status_, 3);
    layout->addWidget(close_);
    // A dropped file is the window's to take, never text for the bar.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }

    connect(previous_, &QToolButton::clicked, this, [this] { go(false); });
    connect(next_, &QToolButton::clicked, this, [this] { go(true); });
    connect(goButton_, &QPushButton::clicked, this, [this] { go(true); });
    connect(close_, &QToolButton::clicked, this, &FindBar::dismiss);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, &FindBar::dismiss);
    edit_->installEventFilter(this);
    status_->installEventFilter(this);
    for (DiffView* view : {first_, second_}) {
        view->installEventFilter(this);
    }
    connect(views_, &ComparisonViews::shown, this, [this] { say({}); });
    hide();
}

QString FindBar::status() const { return status_->text(); }

DiffView* FindBar::view() const { return view_ == 2 ? second_ : first_; }

void FindBar::openFind() {
    open(Mode::Find);
    if (isVisible()) {
        edit_->setFocus();
        edit_->selectAll();
    }
}

void FindBar::openLine() {
    open(Mode::Line);
    if (isVisible()) {
        edit_->setFocus();
        edit_->selectAll();
    }
}

void FindBar::open(Mode mode) {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison) {
        return;
    }
    // The file searched is that of the view last focused, unless the bar has the keyboard.
    const QWidget* focus = QApplication::focusWidget();
    if (!isVisible() || !isAncestorOf(focus)) {
        view_ = focus == second_ || (focus != first_ && lastFocused_ == second_) ? 2 : 1;
    }
    if (mode != mode_ || !isVisible()) {
        edit_->setText(mode == Mode::Find ? findText_ : QString());
        say({});
    }
    mode_ = mode;
    const bool finding = mode == Mode::Find;
    label_->setText(finding ? (view_ == 1 ? QStringLiteral("Buscar en el 1er fichero:")
                                          : QStringLiteral("Buscar en el 2º fichero:"))
                            : QStringLiteral("Ir a la línea:"));
    edit_->setPlaceholderText(finding ? QString()
                                      : QStringLiteral("1 a %1").arg(grouped(
                                            std::max<std::uint64_t>(comparison->pairCount(), 1))));
    edit_->setValidator(finding ? nullptr : lineNumber_);
    previous_->setVisible(finding);
    next_->setVisible(finding);
    matchCase_->setVisible(finding);
    goButton_->setVisible(!finding);
    escape_->setEnabled(true);
    show();
    place();
}

void FindBar::place() {
    QWidget* window = parentWidget();
    const QRect one(first_->viewport()->mapTo(window, QPoint()), first_->viewport()->size());
    const QRect two(second_->viewport()->mapTo(window, QPoint()), second_->viewport()->size());
    const int height = sizeHint().height();
    const int bottom = std::min(one.bottom(), two.bottom());
    setGeometry(one.left(), bottom + 1 - height, two.right() + 1 - one.left(), height);
    raise();
}

void FindBar::dismiss() {
    const bool hadKeyboard = isAncestorOf(QApplication::focusWidget());
    hide();
    escape_->setEnabled(false);
    if (hadKeyboard) {
        view()->setFocus();
    }
}

void FindBar::go(bool forward) {
    if (mode_ == Mode::Line) {
        goToLine();
        return;
    }
    findText_ = edit_->text();
    find(forward);
}

void FindBar::findAgain(bool forward) {
    if (!views_->comparison()) {
        return;
    }
    // Text typed in the open bar is what F3 looks for, as Enter would.
    if (isVisible() && mode_ == Mode::Find && !edit_->text().isEmpty()) {
        findText_ = edit_->text();
    }
    if (findText_.isEmpty()) {
        openFind();
        return;
    }
    if (!isVisible() || mode_ != Mode::Find) {
        open(Mode::Find);
    }
    find(forward);
}

void FindBar::find(bool forward) {
    if (findText_.isEmpty()) {
        say({});
        return;
    }
    // The lines the bar lies over are not where a match is shown.
    const int spacing = std::max(1, first_->fontMetrics().lineSpacing());
    const int hidden = (height() + spacing - 1) / spacing;
    const ComparisonViews::Found found =
        views_->find(view_, findText_, forward, matchCase_->isChecked(), hidden);
    using Outcome = ComparisonViews::Found::Outcome;
    switch (found.outcome) {
    case Outcome::Found: {
        QString text = QStringLiteral("Línea %1, columna %2")
                           .arg(grouped((found.line + 1)), grouped((found.column + 1)));
        if (found.wrapped) {
            text += forward ? QStringLiteral(", desde el principio")
                            : QStringLiteral(", desde el final");
        }
        say(text);
        break;
    }
    case Outcome::NotFound: say(QStringLiteral("No se encuentra «%1»").arg(findText_)); break;
    case Outcome::Cancelled: say(QStringLiteral("Búsqueda cancelada")); break;
    case Outcome::Changed:
        say(QStringLiteral("Un fichero ha cambiado desde la comparación; vuelva a comparar"));
        break;
    case Outcome::Failed: say({}); break;
    }
}

void FindBar::goToLine() {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison) {
        return;
    }
    QString digits = edit_->text();
    digits.remove(u' ').remove(u'.');
    bool ok = false;
    const qulonglong number = digits.toULongLong(&ok);
    const std::uint64_t lines = comparison->pairCount();
    if (lines == 0) {
        say(QStringLiteral("Los ficheros no tienen ninguna línea"));
        return;
    }
    if (!ok || number < 1 || number > lines) {
        say(QStringLiteral("Escriba un número del 1 al %1").arg(grouped((lines))));
        return;
    }
    views_->goToLine(number - 1);
    hide();
    escape_->setEnabled(false);
    view()->setFocus();
}

void FindBar::say(const QString& text) {
    said_ = text;
    fitStatus();
}

void FindBar::fitStatus() {
    status_->setText(
        status_->fontMetrics().elidedText(said_, Qt::ElideRight, status_->contentsRect().width()));
    status_->setToolTip(said_);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == status_) {
        if (event->type() == QEvent::Resize) {
            fitStatus();
        }
        return false;
    }
    if (watched == edit_) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                go(!key->modifiers().testFlag(Qt::ShiftModifier));
                return true;
            }
        }
        return false;
    }
    // Only the views' addresses are compared: a view may be on its way out.
    if (watched != first_ && watched != second_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::FocusIn: lastFocused_ = watched == first_ ? first_ : second_; break;
    case QEvent::Resize:
    case QEvent::Move:
        if (isVisible()) {
            place();
        }
        break;
    default: break;
    }
    return false;
}
