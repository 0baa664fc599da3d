#include "main_window/main_window.h"
#include "main_window/number_column.h"
#include "main_window/resize_layout.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

Q_DECLARE_METATYPE(LayoutSide)

namespace {

constexpr float kKept = std::numeric_limits<float>::quiet_NaN(); // a value the layout never sets
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The controls of the window, in the order the window tables below list their places.
const char* const kControls[] = {"CmdEjecutar",    "TxtFichero1",    "TxtFichero2", "CmdExaminar1",
                                 "CmdExaminar2",   "RTB1",           "RTB2",        "Command1",
                                 "TxtNumeracion2", "TxtNumeracion1", "Command2"};

const char* sideName(LayoutSide side) {
    switch (side) {
    case LayoutSide::Left: return "Left";
    case LayoutSide::Top: return "Top";
    case LayoutSide::Width: return "Width";
    case LayoutSide::Height: return "Height";
    }
    return "?";
}

QList<float> valuesOf(const ResizeLayout& layout, const QByteArray& control, LayoutSide side) {
    QList<float> found;
    for (const LayoutValue& value : layout.values) {
        if (control == objectNameOf(value.control) && value.side == side) {
            found << value.twips;
        }
    }
    return found;
}

// The one value the layout gives `control`'s `side`; none unless it is set exactly once.
std::optional<float> setOnce(const ResizeLayout& layout, const QByteArray& control,
                             LayoutSide side) {
    const QList<float> found = valuesOf(layout, control, side);
    return found.size() == 1 ? std::optional<float>(found.first()) : std::nullopt;
}

QString describe(float value) { return QString::number(double(value), 'f', 3); }

// Resizes the window so that its outer size (frame included) becomes `outer`; false if it does not.
[[nodiscard]] bool resizeOuter(QWidget* window, QSize outer) {
    const QSize frame = window->frameGeometry().size() - window->size();
    window->resize(outer - frame);
    return QTest::qWaitFor([&] { return window->frameGeometry().size() == outer; });
}

QList<QRect> placesOf(const QWidget* window) {
    QList<QRect> places;
    for (const char* name : kControls) {
        const auto* control = window->findChild<QWidget*>(QLatin1String(name));
        places << (control ? control->geometry() : QRect());
    }
    return places;
}

QString differences(const QList<QRect>& actual, const QList<QRect>& expected) {
    QString text;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (actual[i] != expected[i]) {
            const QRect a = actual[i], e = expected[i];
            text += QStringLiteral("\n  %1: (%2, %3, %4 x %5), expected (%6, %7, %8 x %9)")
                        .arg(QLatin1String(kControls[i]))
                        .arg(a.x())
                        .arg(a.y())
                        .arg(a.width())
                        .arg(a.height())
                        .arg(e.x())
                        .arg(e.y())
                        .arg(e.width())
                        .arg(e.height());
        }
    }
    return text;
}

} // namespace

class ResizeLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    // The pure layout.
    void placesForSize_data();
    void placesForSize();
    void everyValueNamesAControl();
    void widenAndHeighten_data();
    void widenAndHeighten();
    void guard_data();
    void guard();

    // The real window.
    void firstDisplayLaysOut();
    void windowFollowsItsSize_data();
    void windowFollowsItsSize();
    void tooSmallLeavesEveryControl_data();
    void tooSmallLeavesEveryControl();
};

void ResizeLayoutTest::placesForSize_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<float>("controlWidth");
    QTest::addColumn<float>("controlHeight");

    struct Place {
        const char* control;
        float left, top, width, height;
    };
    auto size = [](const char* name, float w, float h, std::initializer_list<Place> places) {
        for (const Place& p : places) {
            QTest::addRow("%s %s", name, p.control)
                << w << h << QByteArray(p.control) << p.left << p.top << p.width << p.height;
        }
    };
    const float K = kKept;

    // The design's client area, as the window measures itself where no frame is drawn.
    size("10365x9420", 10365, 9420,
         {{"RTB1", K, K, 4807.5f, 6820},
          {"RTB2", 5382.5f, K, 4807.5f, 6820},
          {"TxtNumeracion1", K, K, K, 6820},
          {"TxtNumeracion2", 5032.5f, K, K, 6820},
          {"TxtFichero1", 240, K, 4807.5f, K},
          {"TxtFichero2", 5382.5f, K, 4807.5f, K},
          {"CmdExaminar1", 240, K, 4807.5f, K},
          {"CmdExaminar2", 5382.5f, K, 4807.5f, K},
          {"Command2", K, 7720, K, K},
          {"CmdEjecutar", K, 7720, 6205, K},
          {"Command1", 8415, 7720, K, K}});
    // The same client area in a frame of 45 twips with a title bar 435 twips high.
    size("10455x9900", 10455, 9900,
         {{"RTB1", K, K, 4852.5f, 7300},
          {"RTB2", 5427.5f, K, 4852.5f, 7300},
          {"TxtNumeracion1", K, K, K, 7300},
          {"TxtNumeracion2", 5077.5f, K, K, 7300},
          {"TxtFichero1", 240, K, 4852.5f, K},
          {"TxtFichero2", 5427.5f, K, 4852.5f, K},
          {"CmdExaminar1", 240, K, 4852.5f, K},
          {"CmdExaminar2", 5427.5f, K, 4852.5f, K},
          {"Command2", K, 8200, K, K},
          {"CmdEjecutar", K, 8200, 6295, K},
          {"Command1", 8505, 8200, K, K}});
    // The smallest size the layout fits: the views and Comparar shrink to nothing.
    size("4160x2600", 4160, 2600,
         {{"RTB1", K, K, 1705, 0},
          {"RTB2", 2280, K, 1705, 0},
          {"TxtNumeracion1", K, K, K, 0},
          {"TxtNumeracion2", 1930, K, K, 0},
          {"TxtFichero1", 240, K, 1705, K},
          {"TxtFichero2", 2280, K, 1705, K},
          {"CmdExaminar1", 240, K, 1705, K},
          {"CmdExaminar2", 2280, K, 1705, K},
          {"Command2", K, 900, K, K},
          {"CmdEjecutar", K, 900, 0, K},
          {"Command1", 2210, 900, K, K}});
    // 2^25 twips wide: single precision rounds each subtraction of Comparar's width in turn
    // (33554432 - 1755 - 1755 - 650 gives 33550270 there, not 33550272).
    size("2^25x10000", 33554432, 10000,
         {{"RTB1", K, K, 16776841, 7400},
          {"RTB2", 16777416, K, 16776841, 7400},
          {"TxtNumeracion1", K, K, K, 7400},
          {"TxtNumeracion2", 16777066, K, K, 7400},
          {"TxtFichero1", 240, K, 16776841, K},
          {"TxtFichero2", 16777416, K, 16776841, K},
          {"CmdExaminar1", 240, K, 16776841, K},
          {"CmdExaminar2", 16777416, K, 16776841, K},
          {"Command2", K, 8300, K, K},
          {"CmdEjecutar", K, 8300, 33550270, K},
          {"Command1", 33552482, 8300, K, K}});
}

void ResizeLayoutTest::placesForSize() {
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(QByteArray, control);
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(float, controlWidth);
    QFETCH(float, controlHeight);

    const ResizeLayout layout = resizeLayout(width, height);
    QVERIFY(layout.fits);
    const std::pair<LayoutSide, float> expected[] = {{LayoutSide::Left, left},
                                                     {LayoutSide::Top, top},
                                                     {LayoutSide::Width, controlWidth},
                                                     {LayoutSide::Height, controlHeight}};
    for (const auto& [side, twips] : expected) {
        const QList<float> found = valuesOf(layout, control, side);
        if (std::isnan(twips)) {
            QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("%1 is moved, but must be kept")
                                                     .arg(QLatin1String(sideName(side)))));
            continue;
        }
        QVERIFY2(found.size() == 1, qPrintable(QStringLiteral("%1 set %2 times")
                                                   .arg(QLatin1String(sideName(side)))
                                                   .arg(found.size())));
        // Exact comparison: the values are exact in single precision.
        QVERIFY2(found.first() == twips,
                 qPrintable(QStringLiteral("%1 is %2, expected %3")
                                .arg(QLatin1String(sideName(side)), describe(found.first()),
                                     describe(twips))));
    }
}

void ResizeLayoutTest::everyValueNamesAControl() {
    MainWindow window;
    const ResizeLayout layout = resizeLayout(10365, 9420);
    for (const LayoutValue& value : layout.values) {
        const char* name = objectNameOf(value.control);
        QVERIFY2(std::find_if(std::begin(kControls), std::end(kControls),
                              [&](const char* control) { return qstrcmp(name, control) == 0; }) !=
                     std::end(kControls),
                 name);
        QVERIFY2(window.findChild<QWidget*>(QLatin1String(name), Qt::FindDirectChildrenOnly), name);
    }
}

void ResizeLayoutTest::widenAndHeighten_data() {
    // How far each value moves, in units of d, when the window grows by 2d in width or by d in
    // height.
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<LayoutSide>("side");
    QTest::addColumn<float>("perWidening");
    QTest::addColumn<float>("perHeightening");

    auto row = [](const char* control, LayoutSide side, float widening, float heightening) {
        QTest::addRow("%s.%s", control, sideName(side))
            << QByteArray(control) << side << widening << heightening;
    };
    using enum LayoutSide;
    row("RTB1", Width, 1, 0);
    row("RTB2", Width, 1, 0);
    row("TxtFichero1", Width, 1, 0);
    row("TxtFichero2", Width, 1, 0);
    row("CmdExaminar1", Width, 1, 0);
    row("CmdExaminar2", Width, 1, 0);
    row("RTB2", Left, 1, 0);
    row("TxtNumeracion2", Left, 1, 0);
    row("TxtFichero2", Left, 1, 0);
    row("CmdExaminar2", Left, 1, 0);
    row("TxtFichero1", Left, 0, 0);
    row("CmdExaminar1", Left, 0, 0);
    row("Command1", Left, 2, 0);
    row("CmdEjecutar", Width, 2, 0);
    row("RTB1", Height, 0, 1);
    row("RTB2", Height, 0, 1);
    row("TxtNumeracion1", Height, 0, 1);
    row("TxtNumeracion2", Height, 0, 1);
    row("Command2", Top, 0, 1);
    row("Command1", Top, 0, 1);
    row("CmdEjecutar", Top, 0, 1);
}

void ResizeLayoutTest::widenAndHeighten() {
    QFETCH(QByteArray, control);
    QFETCH(LayoutSide, side);
    QFETCH(float, perWidening);
    QFETCH(float, perHeightening);

    const QSizeF starts[] = {{10365, 9420}, {10455, 9900}, {4160, 2600}, {20000, 15000}};
    const float steps[] = {7.5f, 15, 1500, 10000};
    for (const QSizeF start : starts) {
        const float w = float(start.width()), h = float(start.height());
        const std::optional<float> before = setOnce(resizeLayout(w, h), control, side);
        QVERIFY(before);
        for (const float d : steps) {
            const std::optional<float> wider = setOnce(resizeLayout(w + 2 * d, h), control, side);
            const std::optional<float> taller = setOnce(resizeLayout(w, h + d), control, side);
            QVERIFY(wider && taller);
            const QString where =
                QStringLiteral(" from %1 x %2 by d = %3").arg(w).arg(h).arg(double(d));
            QVERIFY2(*wider - *before == perWidening * d,
                     qPrintable(QStringLiteral("widening moves it by ") +
                                describe(*wider - *before) + where));
            QVERIFY2(*taller - *before == perHeightening * d,
                     qPrintable(QStringLiteral("heightening moves it by ") +
                                describe(*taller - *before) + where));
        }
    }
}

void ResizeLayoutTest::guard_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<bool>("fits");

    QTest::newRow("design client area") << 10365.0f << 9420.0f << true;
    QTest::newRow("views exactly 0 high") << 10365.0f << 2600.0f << true;
    QTest::newRow("views 1 twip too short") << 10365.0f << 2599.0f << false;
    QTest::newRow("views half a twip too short") << 10365.0f << 2599.5f << false;
    QTest::newRow("one pixel below 2600") << 10365.0f << 2585.0f << false;
    QTest::newRow("Comparar exactly 0 wide") << 4160.0f << 9420.0f << true;
    QTest::newRow("Comparar 1 twip too narrow") << 4159.0f << 9420.0f << false;
    QTest::newRow("one pixel below 4160") << 4155.0f << 9420.0f << false;
    QTest::newRow("views exactly 0 wide") << 750.0f << 9420.0f << false; // Comparar is not
    QTest::newRow("views too narrow") << 749.0f << 9420.0f << false;
    QTest::newRow("both at their limits") << 4160.0f << 2600.0f << true;
    QTest::newRow("both too small") << 4155.0f << 2585.0f << false;
    QTest::newRow("minimised to nothing") << 0.0f << 0.0f << false;
    QTest::newRow("very large") << 3.0e7f << 3.0e7f << true;
    QTest::newRow("infinitely wide") << kInfinity << 9420.0f << false;
    QTest::newRow("height not a number") << 10365.0f << kKept << false;
}

void ResizeLayoutTest::guard() {
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(bool, fits);

    QCOMPARE(resizeLayout(width, height).fits, fits);
}

void ResizeLayoutTest::firstDisplayLaysOut() {
    MainWindow window;
    const QList<QRect> design = placesOf(&window);
    QCOMPARE(design[6], QRect(356, 56, 325, 485)); // RTB2 where the design puts it
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QList<QRect> shown = placesOf(&window);

    // The same places as a window that is resized to that outer size after it is shown.
    MainWindow resized;
    resized.show();
    QVERIFY(QTest::qWaitForWindowExposed(&resized));
    QVERIFY(resizeOuter(&resized, {900, 700}));
    QVERIFY(resizeOuter(&resized, window.frameGeometry().size()));
    const QList<QRect> expected = placesOf(&resized);
    QVERIFY2(shown == expected, qPrintable(differences(shown, expected)));
    QVERIFY(shown[6] != design[6]);
}

void ResizeLayoutTest::windowFollowsItsSize_data() {
    // Outer sizes in device-independent pixels and every control's place in them, in the order
    // of kControls.
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<QList<QRect>>("places");

    QTest::newRow("design 691x628")
        << QSize(691, 628)
        << QList<QRect>{{140, 515, 414, 73}, {16, 32, 321, 19},   {359, 32, 321, 19},
                        {16, 4, 321, 29},    {359, 4, 321, 29},   {16, 56, 321, 455},
                        {359, 56, 321, 455}, {561, 515, 117, 73}, {336, 60, 25, 455},
                        {-4, 60, 25, 455},   {16, 515, 117, 73}};
    QTest::newRow("200 wider") << QSize(891, 628)
                               << QList<QRect>{
                                      {140, 515, 614, 73}, {16, 32, 421, 19},   {459, 32, 421, 19},
                                      {16, 4, 421, 29},    {459, 4, 421, 29},   {16, 56, 421, 455},
                                      {459, 56, 421, 455}, {761, 515, 117, 73}, {436, 60, 25, 455},
                                      {-4, 60, 25, 455},   {16, 515, 117, 73}};
    QTest::newRow("200 taller") << QSize(691, 828)
                                << QList<QRect>{
                                       {140, 715, 414, 73}, {16, 32, 321, 19},   {359, 32, 321, 19},
                                       {16, 4, 321, 29},    {359, 4, 321, 29},   {16, 56, 321, 655},
                                       {359, 56, 321, 655}, {561, 715, 117, 73}, {336, 60, 25, 655},
                                       {-4, 60, 25, 655},   {16, 715, 117, 73}};
    QTest::newRow("1200x900") << QSize(1200, 900)
                              << QList<QRect>{
                                     {140, 787, 923, 73}, {16, 32, 575, 19},    {613, 32, 575, 19},
                                     {16, 4, 575, 29},    {613, 4, 575, 29},    {16, 56, 575, 727},
                                     {613, 56, 575, 727}, {1070, 787, 117, 73}, {590, 60, 25, 727},
                                     {-4, 60, 25, 727},   {16, 787, 117, 73}};
    QTest::newRow("700x631, rounded")
        << QSize(700, 631)
        << QList<QRect>{{140, 518, 423, 73}, {16, 32, 325, 19},   {363, 32, 325, 19},
                        {16, 4, 325, 29},    {363, 4, 325, 29},   {16, 56, 325, 458},
                        {363, 56, 325, 458}, {570, 518, 117, 73}, {340, 60, 25, 458},
                        {-4, 60, 25, 458},   {16, 518, 117, 73}};
    QTest::newRow("smallest that fits, 278x174")
        << QSize(278, 174)
        << QList<QRect>{{140, 61, 1, 73},  {16, 32, 114, 19},  {152, 32, 114, 19},
                        {16, 4, 114, 29},  {152, 4, 114, 29},  {16, 56, 114, 1},
                        {152, 56, 114, 1}, {148, 61, 117, 73}, {129, 60, 25, 1},
                        {-4, 60, 25, 1},   {16, 61, 117, 73}};
}

void ResizeLayoutTest::windowFollowsItsSize() {
    QFETCH(QSize, outer);
    QFETCH(QList<QRect>, places);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(resizeOuter(&window, outer));
    const QList<QRect> shown = placesOf(&window);
    QVERIFY2(shown == places, qPrintable(differences(shown, places)));
    // Each column numbers as many lines as it is tall, and 50 at least.
    for (const char* name : {"TxtNumeracion1", "TxtNumeracion2"}) {
        auto* column = window.findChild<NumberColumn*>(QLatin1String(name));
        const int count = column->numberCount();
        QVERIFY(count >= 50 && count * column->fontMetrics().lineSpacing() >= column->height());
        QVERIFY(column->toPlainText().endsWith(QStringLiteral("\n%1\n").arg(count)));
    }
}

void ResizeLayoutTest::tooSmallLeavesEveryControl_data() {
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("tooSmall");

    QTest::newRow("Comparar would be negative") << QSize(691, 628) << QSize(277, 628);
    QTest::newRow("views would be negative") << QSize(691, 628) << QSize(691, 173);
    QTest::newRow("both, from a large window") << QSize(1200, 900) << QSize(100, 100);
    QTest::newRow("just past the smallest that fits") << QSize(278, 174) << QSize(277, 173);
}

void ResizeLayoutTest::tooSmallLeavesEveryControl() {
    QFETCH(QSize, from);
    QFETCH(QSize, tooSmall);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(resizeOuter(&window, from));
    const QList<QRect> before = placesOf(&window);
    QVERIFY(resizeOuter(&window, tooSmall));
    const QList<QRect> after = placesOf(&window);
    QVERIFY2(after == before, qPrintable(differences(after, before)));

    // Back at a size that fits, the layout takes over again.
    QVERIFY(resizeOuter(&window, {891, 628}));
    const QList<QRect> wider = placesOf(&window);
    QCOMPARE(wider[6], QRect(459, 56, 421, 455)); // RTB2
    QCOMPARE(wider[0], QRect(140, 515, 614, 73)); // CmdEjecutar
}

QTEST_MAIN(ResizeLayoutTest)
#include "resize_layout_tests.moc"
