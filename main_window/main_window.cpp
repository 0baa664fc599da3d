#include "main_window/main_window.h"

#include "about_window/about_window.h"
#include "common/application.h"
#include "common/units.h"
#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "main_window/column_ruler.h"
#include "main_window/comparison_views.h"
#include "main_window/diff_view.h"
#include "main_window/early_comparison.h"
#include "main_window/find_bar.h"
#include "main_window/memory_shortage.h"
#include "main_window/number_column.h"
#include "main_window/omit_dialog.h"
#include "main_window/path_box.h"
#include "main_window/qt_file_dialog.h"
#include "main_window/qt_message_boxes.h"
#include "main_window/reading_aids.h"
#include "main_window/resize_layout.h"
#include "main_window/view_synchronizer.h"
#include "window_icon.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QRegion>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kFaceColour = 0x00D95764;
constexpr std::uint32_t kBoxColour = 0x00E08F71;
constexpr std::uint32_t kNumberColour = 0x00E0E0E0;

constexpr double kViewPoints = 9;

constexpr int kClientWidth = 10365;
constexpr int kClientHeight = 9420;

QFont designFont(double points) {
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

// Creates a control of the design: its name, place and size in twips, and its font.
template <typename Control>
Control* addControl(QWidget* window, const char* name, QRect twips, double points) {
    auto* control = new Control(window);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(units::pixelRect(twips.x(), twips.y(), twips.width(), twips.height()));
    control->setFont(designFont(points));
    return control;
}

QPushButton* addButton(QWidget* window, const char* name, const QString& caption, QRect twips,
                       double points) {
    auto* button = addControl<QPushButton>(window, name, twips, points);
    button->setText(caption);
    button->setAutoDefault(false);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, units::colour(kFaceColour));
    button->setPalette(palette);
    return button;
}

void setColours(QWidget* control, std::uint32_t background, std::uint32_t text = 0) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, units::colour(background));
    palette.setColor(QPalette::Text, units::colour(text));
    control->setPalette(palette);
}

// The local files named by a drop's URI list, by their real names: a URI carries a file name's
// bytes percent-encoded, which QUrl::toLocalFile() would decode as UTF-8. Empty when any entry
// is not a file of this machine (a web address, or a file:// URI naming another host) or names
// none: no path at all, or one with a NUL byte (%00), which no file name holds and which would
// cut the name short where the file is opened.
std::vector<std::filesystem::path> droppedFiles(const QMimeData* data) {
    const QString kUriList = QStringLiteral("text/uri-list");
    const QByteArray list = data->hasFormat(kUriList) ? data->data(kUriList) : QByteArray();
    std::vector<std::filesystem::path> files;
    for (const QByteArray& line : list.split('\n')) {
        const QByteArray entry = line.trimmed();
        if (entry.isEmpty() || entry.startsWith('#')) {
            continue;
        }
        const QUrl url(QString::fromLatin1(entry), QUrl::StrictMode);
        const QString host = url.host();
        if (!url.isValid() || url.scheme() != QStringLiteral("file") ||
            !(host.isEmpty() || host == QStringLiteral("localhost"))) {
            return {};
        }
        const QByteArray name =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (name.isEmpty() || name.contains('\0')) {
            return {};
        }
        files.emplace_back(name.toStdString());
    }
    return files;
}

} // namespace

MainWindow::MainWindow(std::unique_ptr<FileDialog> fileDialog,
                       std::unique_ptr<MessageBoxes> messages, QWidget* parent)
    : QWidget(parent), fileDialog_(fileDialog ? fileDialog.release() : new QtFileDialog),
      messages_(messages ? std::move(messages) : std::make_unique<QtMessageBoxes>()) {
    fileDialog_->setParent(this);
    fileDialog_->setObjectName(QStringLiteral("CD1"));

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(application::kTitle);
    const QImage icon(reinterpret_cast<const uchar*>(window_icon::kPixels), window_icon::kWidth,
                      window_icon::kHeight, QImage::Format_ARGB32);
    setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, units::colour(kFaceColour));
    setPalette(palette);
    resize(units::pixels(kClientWidth), units::pixels(kClientHeight));

    // The controls inherit the views' font while they are made, so that none first lays its text
    // out in a font it never shows; each then takes its own size of it.
    setFont(designFont(kViewPoints));
    createControls();
    setUpTabOrder();
    connectCommands();
    createShortcuts();
    new ViewSynchronizer(rtb1_, rtb2_, this);
    createViews();
    setAcceptDrops(true);
    cmdEjecutar_->setFocus();
    if (const QString missing = missingFontMessage(); !missing.isEmpty()) {
        // Over the window, once it shows.
        QTimer::singleShot(0, this, [this, missing] { messages_->warn(this, missing); });
    }
}

MainWindow::~MainWindow() = default;

QColor MainWindow::highlightColour() { return DiffView::highlightColour(); }

QString MainWindow::missingFontMessage() {
    if (QFontMetrics(designFont(kViewPoints)).inFont(QChar(u'a'))) {
        return {};
    }
    return tr("No se ha encontrado ningún tipo de letra con el que escribir: la ventana muestra "
              "cuadros en lugar de letras. Instale el paquete fonts-comic-neue, que da la letra "
              "de Parvane (sudo apt-get install fonts-comic-neue), y vuelva a abrir el programa.");
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOutForSize(); // the first resize event arrives when the window is first shown
}

// A window manager may add its frame after the window is shown, which changes the outer size
// without resizing the window; the window then moves within its frame, and a window that opened
// fitted to the screen fits again with its frame.
void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (openingSize_ && size() == *openingSize_ && frameMargins() != openingFrame_) {
        fitToScreen();
    }
    layOutForSize();
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!openingSize_) {
        fitToScreen();
    }
}

QMargins MainWindow::frameMargins() const {
    const QRect inner = geometry();
    const QRect outer = frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The design's size when it fits the screen's free area, frame included (as the window has always
// opened); otherwise the largest size that fits, with the frame moved onto that area.
void MainWindow::fitToScreen() {
    const QScreen* shownOn = screen();
    if (!shownOn) {
        return;
    }
    const QRect available = shownOn->availableGeometry();
    const QMargins frame = frameMargins();
    const QSize design(units::pixels(kClientWidth), units::pixels(kClientHeight));
    const QSize fitted = design.boundedTo(available.size().shrunkBy(frame));
    openingSize_ = fitted;
    openingFrame_ = frame;
    if (fitted == design) {
        return;
    }
    resize(fitted);
    const QRect outer = frameGeometry();
    move(std::clamp(outer.left(), available.left(), available.right() + 1 - outer.width()),
         std::clamp(outer.top(), available.top(), available.bottom() + 1 - outer.height()));
}

// Moves and sizes the controls for the window's outer size (frame included), or leaves them all
// where they are when the window is too small for the layout.
void MainWindow::layOutForSize() {
    if (!cmdEjecutar_) {
        return; // a move or resize while the window is being built
    }
    const QRect outer = frameGeometry();
    const ResizeLayout layout = resizeLayout(float(outer.width() * units::kTwipsPerPixel),
                                             float(outer.height() * units::kTwipsPerPixel));
    if (!layout.fits) {
        return;
    }
    // Each control takes its new place once, with every value that the layout does not set kept.
    std::vector<std::pair<QWidget*, QRect>> places;
    for (const LayoutValue& value : layout.values) {
        QWidget* control = layoutControl(value.control);
        auto place = std::find_if(places.begin(), places.end(),
                                  [control](const auto& entry) { return entry.first == control; });
        if (place == places.end()) {
            place = places.insert(places.end(), {control, control->geometry()});
        }
        QRect& rect = place->second;
        const int pixels = units::pixels(value.twips);
        switch (value.side) {
        case LayoutSide::Left: rect.moveLeft(pixels); break;
        case LayoutSide::Top: rect.moveTop(pixels); break;
        case LayoutSide::Width: rect.setWidth(pixels); break;
        case LayoutSide::Height: rect.setHeight(pixels); break;
        }
    }
    for (const auto& [control, rect] : places) {
        control->setGeometry(rect);
    }
    clipNumberColumns();
}

// The design places each number column a little lower than its view and as tall: what would show
// below the view's lower edge is cut off.
void MainWindow::clipNumberColumns() {
    for (const auto& [column, view] :
         {std::pair{txtNumeracion1_, rtb1_}, {txtNumeracion2_, rtb2_}}) {
        const int shown = view->geometry().bottom() + 1 - column->y();
        if (shown >= column->height()) {
            column->clearMask();
        } else {
            column->setMask(QRegion(0, 0, column->width(), std::max(shown, 0)));
        }
    }
}

// What shows a comparison in the views, and the reading aids that follow it.
void MainWindow::createViews() {
    views_ =
        new ComparisonViews(rtb1_, rtb2_, txtNumeracion1_, txtNumeracion2_, messages_.get(), this);
    readingAids_ = new ReadingAids(rtb1_, rtb2_, views_, this);
    connect(views_, &ComparisonViews::shown, this,
            [this] { readingAids_->setShownPaths(txtFichero1_->text(), txtFichero2_->text()); });
    connect(readingAids_, &ReadingAids::layoutRequested, this, &MainWindow::chooseLayout);
    connect(readingAids_, &ReadingAids::rulesRequested, this, &MainWindow::chooseRules);
    connect(readingAids_, &ReadingAids::nextDifferenceRequested, this,
            &MainWindow::goToNextDifference);
    connect(readingAids_, &ReadingAids::previousDifferenceRequested, this,
            &MainWindow::goToPreviousDifference);
    connect(readingAids_, &ReadingAids::fixedPitchRequested, this, &MainWindow::setFixedPitch);
    // The number columns follow the lines down when a ruler takes room above them.
    for (DiffView* view : {rtb1_, rtb2_}) {
        connect(view, &DiffView::roomAboveChanged, views_, &ComparisonViews::restyled);
    }
    // The rulers number the file's columns, from the first one that the views' window holds.
    connect(views_, &ComparisonViews::windowFilled, this,
            [this](std::uint64_t, std::uint64_t firstColumn) {
                rtb1_->ruler()->setFirstColumn(qint64(firstColumn));
                rtb2_->ruler()->setFirstColumn(qint64(firstColumn));
            });
    // With a record layout, they name the fields of the record at the caret.
    for (DiffView* view : {rtb1_, rtb2_}) {
        connect(view, &DiffView::cursorPositionChanged, this,
                [this, view] { showFieldsAtCaret(view); });
    }
}

// Every control the layout moves; a control added to the layout must be added here, which the
// compiler checks (the switch covers every value and has no default).
QWidget* MainWindow::layoutControl(LayoutControl control) const {
    switch (control) {
    case LayoutControl::CmdEjecutar: return cmdEjecutar_;
    case LayoutControl::TxtFichero1: return txtFichero1_;
    case LayoutControl::TxtFichero2: return txtFichero2_;
    case LayoutControl::CmdExaminar1: return cmdExaminar1_;
    case LayoutControl::CmdExaminar2: return cmdExaminar2_;
    case LayoutControl::RTB1: return rtb1_;
    case LayoutControl::RTB2: return rtb2_;
    case LayoutControl::Command1: return command1_;
    case LayoutControl::Command2: return command2_;
    case LayoutControl::TxtNumeracion1: return txtNumeracion1_;
    case LayoutControl::TxtNumeracion2: return txtNumeracion2_;
    }
    Q_UNREACHABLE();
    return nullptr;
}

void MainWindow::createControls() {
    // Created in tab order, which also puts the number columns above the views they overlap.
    cmdEjecutar_ = addButton(this, "CmdEjecutar", tr("Comparar"), {2100, 8220, 6255, 1095}, 27.75);
    txtFichero1_ = addControl<PathBox>(this, "TxtFichero1", {240, 480, 4875, 285}, 8.25);
    txtFichero2_ = addControl<PathBox>(this, "TxtFichero2", {5340, 480, 4875, 285}, 8.25);
    cmdExaminar1_ =
        addButton(this, "CmdExaminar1", tr("Examinar 1er fichero"), {240, 60, 4875, 435}, 12);
    cmdExaminar2_ =
        addButton(this, "CmdExaminar2", tr("Examinar 2º fichero"), {5340, 60, 4875, 435}, 12);
    rtb1_ = addControl<DiffView>(this, "RTB1", {240, 840, 4875, 7275}, kViewPoints);
    rtb2_ = addControl<DiffView>(this, "RTB2", {5340, 840, 4875, 7275}, kViewPoints);
    command1_ = addButton(this, "Command1", tr("Salir"), {8460, 8220, 1755, 1095}, 26.25);
    txtNumeracion2_ =
        addControl<NumberColumn>(this, "TxtNumeracion2", {5040, 900, 375, 7275}, kViewPoints);
    txtNumeracion1_ =
        addControl<NumberColumn>(this, "TxtNumeracion1", {-60, 900, 375, 7275}, kViewPoints);
    command2_ = addButton(this, "Command2", tr("Acerca de..."), {240, 8220, 1755, 1095}, 15.75);

    for (QWidget* box : {static_cast<QWidget*>(txtFichero1_), static_cast<QWidget*>(txtFichero2_),
                         static_cast<QWidget*>(rtb1_), static_cast<QWidget*>(rtb2_)}) {
        setColours(box, kBoxColour);
    }
    for (NumberColumn* column : {txtNumeracion1_, txtNumeracion2_}) {
        setColours(column, kFaceColour, kNumberColour);
    }
    // Files dropped on any control are the window's to handle.
    for (QWidget* control : findChildren<QWidget*>()) {
        control->setAcceptDrops(false);
    }
    clipNumberColumns();
}

void MainWindow::setUpTabOrder() {
    QWidget* const order[] = {cmdEjecutar_,  txtFichero1_,  txtFichero2_,
                              cmdExaminar1_, cmdExaminar2_, rtb1_,
                              rtb2_,         command1_,     command2_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
}

void MainWindow::connectCommands() {
    connect(cmdExaminar1_, &QPushButton::clicked, this, &MainWindow::chooseFirstFile);
    connect(cmdExaminar2_, &QPushButton::clicked, this, &MainWindow::chooseSecondFile);
    connect(cmdEjecutar_, &QPushButton::clicked, this, &MainWindow::compare);
    // A path typed or pasted into a box is compared with Enter, as "Comparar" does.
    connect(txtFichero1_, &QLineEdit::returnPressed, this, &MainWindow::compare);
    connect(txtFichero2_, &QLineEdit::returnPressed, this, &MainWindow::compare);
    connect(command1_, &QPushButton::clicked, this, &MainWindow::quit);
    connect(command2_, &QPushButton::clicked, this, &MainWindow::openAbout);
    for (PathBox* box : {txtFichero1_, txtFichero2_}) {
        const QString boxName = box == txtFichero1_ ? tr("la casilla del primer fichero")
                                                    : tr("la casilla del segundo fichero");
        connect(box, &PathBox::shortOfMemoryToPaste, this, [this, boxName](QClipboard::Mode mode) {
            const QString what = mode == QClipboard::Selection ? tr("el texto seleccionado")
                                                               : tr("el texto del portapapeles");
            const QString text = memory_shortage::message(tr("pegar %1 en %2").arg(what, boxName));
            // Told once the paste that ran out is over.
            QTimer::singleShot(0, this, [this, text] { messages_->warn(this, text); });
        });
    }
}

void MainWindow::createShortcuts() {
    auto* next = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Down), this);
    auto* previous = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Up), this);
    connect(next, &QShortcut::activated, this, &MainWindow::goToNextDifference);
    connect(previous, &QShortcut::activated, this, &MainWindow::goToPreviousDifference);
    const std::pair<QKeyCombination, std::function<void(FindBar*)>> searches[] = {
        {Qt::CTRL | Qt::Key_F, &FindBar::openFind},
        {Qt::CTRL | Qt::Key_G, &FindBar::openLine},
        {QKeyCombination(Qt::Key_F3), [](FindBar* bar) { bar->findAgain(true); }},
        {Qt::SHIFT | Qt::Key_F3, [](FindBar* bar) { bar->findAgain(false); }},
    };
    for (const auto& search : searches) {
        auto* shortcut = new QShortcut(QKeySequence(search.first), this);
        connect(shortcut, &QShortcut::activated, this, [this, action = search.second] {
            if (views_->comparison()) {
                action(findBar());
            }
        });
    }
    auto* fixedPitch = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
    connect(fixedPitch, &QShortcut::activated, this,
            [this] { setFixedPitch(!rtb1_->fixedPitch()); });
}

FindBar* MainWindow::findBar() {
    if (!findBar_) {
        findBar_ = new FindBar(rtb1_, rtb2_, views_, this);
    }
    return findBar_;
}

void MainWindow::chooseFirstFile() { chooseFile(txtFichero1_); }

void MainWindow::chooseSecondFile() { chooseFile(txtFichero2_); }

void MainWindow::chooseFile(PathBox* pathBox) {
    if (fileDialog_->exec(this)) {
        pathBox->setPath(fileDialog_->filePath());
    }
}

void MainWindow::openFiles(const std::filesystem::path& path1, const std::filesystem::path& path2,
                           bool unlimited, EarlyComparison* early) {
    txtFichero1_->setPath(path1);
    txtFichero2_->setPath(path2);
    if (!path1.empty() && !path2.empty()) {
        if (unlimited) {
            compareUnlimited();
        } else {
            compareFrom(early);
        }
    }
}

bool MainWindow::setLayoutFile(const std::filesystem::path& path) {
    std::shared_ptr<const parvane::RecordLayout> layout;
    try {
        layout = std::make_shared<parvane::RecordLayout>(parvane::RecordLayout::read(path));
    } catch (const parvane::LayoutError& error) {
        messages_->warn(this, QString::fromUtf8(error.what()));
        return false;
    }
    setLayout(std::move(layout));
    return true;
}

void MainWindow::setLayout(std::shared_ptr<const parvane::RecordLayout> layout) {
    readingAids_->setLayout(*layout);
    // The fields' flags leave out what they say from now on, and from the comparison shown when
    // either layout has any.
    parvane::ComparisonRules rules = views_->rules();
    const bool flagged = rules.layout() != nullptr;
    rules.setLayout(layout);
    const bool compareAgain = views_->comparison() && (flagged || rules.layout() != nullptr);
    views_->setRules(std::move(rules));
    // Fields are read by their columns.
    setFixedPitch(true);
    showFieldsAtCaret(rtb1_);
    if (compareAgain) {
        compareShownAgain();
    }
}

void MainWindow::chooseRules() {
    OmitDialog dialog(views_->rules(), this);
    while (dialog.exec() == QDialog::Accepted) {
        try {
            views_->setRules(dialog.rules());
        } catch (const parvane::RulesError& error) {
            messages_->warn(this, QString::fromUtf8(error.what()));
            continue; // the dialog again, as the user left it
        }
        if (views_->comparison()) {
            compareShownAgain();
        }
        return;
    }
}

void MainWindow::compareShownAgain() {
    if (views_->unlimited()) {
        compareUnlimited();
    } else {
        compare();
    }
}

void MainWindow::showFieldsAtCaret(const DiffView* view) {
    if (!readingAids_->hasLayout() || !views_->comparison()) {
        return;
    }
    const std::uint64_t line =
        views_->windowFirstLine() + std::uint64_t(view->textCursor().blockNumber());
    QList<RulerField> fields;
    if (const parvane::RecordType* type = readingAids_->recordTypeOf(line)) {
        for (const parvane::LayoutField& field : type->fields) {
            fields.append({QString::fromStdString(field.name), qint64(field.first),
                           field.length ? qint64(*field.length) : qint64(-1)});
        }
    } else {
        // The row of fields stays, so that the text does not move with the caret.
        fields.append({QStringLiteral("sin registro"), 0, -1});
    }
    // Both rulers alike, so that the views' lines stay level.
    for (DiffView* shown : {rtb1_, rtb2_}) {
        shown->ruler()->setFields(fields);
    }
}

void MainWindow::chooseLayout() {
    if (fileDialog_->exec(this)) {
        setLayoutFile(fileDialog_->filePath());
    }
}

void MainWindow::setRules(parvane::ComparisonRules rules) { views_->setRules(std::move(rules)); }

void MainWindow::setDecodings(std::optional<parvane::DecodingChoices> decodings) {
    views_->setDecodings(decodings);
}

void MainWindow::setHighlightBackground(bool on) {
    rtb1_->setHighlightBackground(on);
    rtb2_->setHighlightBackground(on);
}

void MainWindow::setFixedPitch(bool on) {
    if (on == rtb1_->fixedPitch()) {
        return;
    }
    for (const auto& [view, numbers] :
         {std::pair{rtb1_, txtNumeracion1_}, std::pair{rtb2_, txtNumeracion2_}}) {
        view->setFixedPitch(on);
        numbers->setFont(on ? view->font() : designFont(kViewPoints));
    }
    views_->restyled();
}

void MainWindow::compareUnlimited() {
    if (views_->busy()) {
        return;
    }
    if (views_->compareUnlimited(txtFichero1_->path(), txtFichero2_->path())) {
        tellWhenIdentical();
    }
    rtb1_->setSelectionStart(1);
    rtb2_->setSelectionStart(2);
}

void MainWindow::compare() { compareFrom(nullptr); }

void MainWindow::compareFrom(EarlyComparison* early) {
    if (views_->busy()) {
        return; // a comparison without limits is still reading
    }
    const std::filesystem::path path1 = txtFichero1_->path();
    const std::filesystem::path path2 = txtFichero2_->path();
    if (early && (early->file1() != path1 || early->file2() != path2)) {
        early = nullptr;
    }
    if (!path1.empty() && !path2.empty()) {
        showComparison(path1, path2, early);
    }
    rtb1_->setSelectionStart(1);
    rtb2_->setSelectionStart(2);
}

void MainWindow::showComparison(const std::filesystem::path& path1,
                                const std::filesystem::path& path2, EarlyComparison* early) {
    std::optional<parvane::FileComparison> comparison;
    std::optional<ComparisonViews::Contents> contents;
    try {
        if (early) {
            EarlyComparison::Result made = early->take();
            comparison = std::move(made.comparison);
            contents = std::move(made.contents);
        } else {
            parvane::ComparisonOptions options;
            options.decodings = views_->decodings();
            options.rules = views_->rules();
            comparison = parvane::FileComparison::run(path1, path2, options);
        }
    } catch (const parvane::OverflowError& error) {
        if (messages_->offerUnlimited(this, QString::fromUtf8(error.what())) &&
            views_->compareUnlimited(path1, path2)) {
            tellWhenIdentical();
        }
        return;
    } catch (const parvane::ComparisonError& error) {
        messages_->warn(this, QString::fromUtf8(error.what()));
        return;
    } catch (const std::bad_alloc&) {
        messages_->warn(
            this, memory_shortage::message(
                      tr("comparar %1 con %2")
                          .arg(memory_shortage::quoted(path1), memory_shortage::quoted(path2)),
                      tr("Cierre otros programas o compare ficheros menores.")));
        return;
    } catch (const std::exception& error) {
        messages_->warn(this, tr("No se han podido comparar los ficheros: %1")
                                  .arg(QString::fromLocal8Bit(error.what())));
        return;
    }
    views_->show(std::move(*comparison), std::move(contents));
    tellWhenIdentical();
}

void MainWindow::tellWhenIdentical() {
    const parvane::FileComparison* comparison = views_->comparison();
    if (!comparison || !comparison->identical()) {
        return;
    }
    const parvane::ComparisonTotals& totals = comparison->totals();
    if (totals.leftOutCharacters1 + totals.leftOutCharacters2 == 0) {
        messages_->inform(this, kIdenticalMessage);
        return;
    }
    messages_->inform(this, kIdenticalMessage +
                                QStringLiteral("\nCaracteres que difieren en lo omitido: %1 en el "
                                               "fichero 1, %2 en el fichero 2")
                                    .arg(totals.leftOutCharacters1)
                                    .arg(totals.leftOutCharacters2));
}

void MainWindow::openAbout() { AboutWindow::showFor(this); }

void MainWindow::quit() {
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void MainWindow::goToNextDifference() {
    views_->goToNextDifference();
    readingAids_->noteDifference(true);
}

void MainWindow::goToPreviousDifference() {
    views_->goToPreviousDifference();
    readingAids_->noteDifference(false);
}

PathBox* MainWindow::dropTarget(QPoint position) const {
    for (QWidget* under = childAt(position); under; under = under->parentWidget()) {
        if (under == txtFichero1_ || under == rtb1_) {
            return txtFichero1_;
        }
        if (under == txtFichero2_ || under == rtb2_) {
            return txtFichero2_;
        }
    }
    return nullptr;
}

std::vector<std::filesystem::path> MainWindow::acceptableDrop(const QMimeData* data,
                                                              QPoint position) const {
    std::vector<std::filesystem::path> files = droppedFiles(data);
    if (files.empty() || files.size() > 2 || (files.size() == 1 && !dropTarget(position))) {
        return {};
    }
    for (const std::filesystem::path& file : files) {
        std::error_code error;
        if (std::filesystem::is_directory(file, error)) {
            return {};
        }
    }
    return files;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) { answerDrag(event); }

// Whether one file may land depends on what lies under it, so the answer is given again on
// every move.
void MainWindow::dragMoveEvent(QDragMoveEvent* event) { answerDrag(event); }

// A dropped file is only read: it is taken as a copy (or a link), never as a move, which would
// let the file manager delete it.
bool MainWindow::acceptAsCopy(QDropEvent* event) const {
    const Qt::DropActions offered = event->possibleActions();
    const std::optional<Qt::DropAction> action =
        offered.testFlag(Qt::CopyAction)   ? std::optional(Qt::CopyAction)
        : offered.testFlag(Qt::LinkAction) ? std::optional(Qt::LinkAction)
                                           : std::nullopt;
    if (!action || acceptableDrop(event->mimeData(), event->position().toPoint()).empty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(*action);
    event->accept();
    return true;
}

void MainWindow::answerDrag(QDropEvent* event) { acceptAsCopy(event); }

void MainWindow::dropEvent(QDropEvent* event) {
    if (!acceptAsCopy(event)) {
        return;
    }
    const QPoint position = event->position().toPoint();
    const std::vector<std::filesystem::path> files = acceptableDrop(event->mimeData(), position);
    if (files.size() == 2) {
        openFiles(files[0], files[1]);
    } else {
        dropTarget(position)->setPath(files[0]);
    }
}
