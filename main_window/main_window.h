#pragma once

// The main window (Form1): two path boxes with their browse buttons, the two views of the
// compared files with their line-number columns, and the bottom row of buttons: "Acerca de...",
// "Comparar" and "Salir". Each control carries its design name as its objectName. The window
// opens at the design's size, or, on a screen whose free area is smaller, at the largest size that
// fits it, frame included; the resize layout then places the controls as for any size.
//
// Beyond the buttons: the two views scroll together; Alt+Down and Alt+Up move both to the next or
// previous line that holds a difference; Ctrl+F, F3 and Shift+F3 search the file of the view
// last focused and Ctrl+G moves both views to a line, in a bar laid over the views' bottom while
// in use (find_bar.h); a file dropped on a path box or a view fills that side's
// path box, and two files dropped anywhere on the window are compared. What the views show of a
// comparison is in comparison_views.h, their reading aids (tooltips, notes of moves, context
// menu) in reading_aids.h. Files past the size limits may be compared without them ("Comparar
// sin límite").

#include "comparison/comparison_rules.h"
#include "comparison/text_decoding.h"
#include "main_window/file_dialog.h"
#include "main_window/message_boxes.h"

#include <QWidget>

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

enum class LayoutControl;
class ComparisonViews;
class DiffView;
class EarlyComparison;
class FindBar;
class NumberColumn;
class PathBox;
class ReadingAids;
class QMimeData;
class QPushButton;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    static inline const QString kIdenticalMessage =
        QStringLiteral("Estos dos ficheros son idénticos");

    // Without arguments the window uses the desktop's own file dialog and message boxes.
    explicit MainWindow(std::unique_ptr<FileDialog> fileDialog = nullptr,
                        std::unique_ptr<MessageBoxes> messages = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    static QColor highlightColour();

    // When no installed font can write the window's letters (no font at all, say), what the
    // window says at start-up, in a message, and main() on standard error: the package that gives
    // the design's font. Empty when a font is found.
    static QString missingFontMessage();

    // Puts `path1` and, when given, `path2` in the path boxes; with both, compares them as
    // "Comparar" does, or with no size limit when `unlimited`. Paths are the files' real names
    // (bytes), which need not be valid in any encoding. An `early` comparison of the same two
    // paths, begun before the window was ready (early_comparison.h), is shown instead of
    // comparing them again.
    void openFiles(const std::filesystem::path& path1, const std::filesystem::path& path2 = {},
                   bool unlimited = false, EarlyComparison* early = nullptr);
    // How every comparison from now on decodes each file (--codificacion); none: both alike, as
    // always.
    void setDecodings(std::optional<parvane::DecodingChoices> decodings);
    // What every comparison from now on leaves out (--ignorar-columnas and the like).
    void setRules(parvane::ComparisonRules rules);

    // Both views draw the differing characters on a light background as well as in red (see
    // DiffView::setHighlightBackground()), as --resaltar and the views' menu ask.
    void setHighlightBackground(bool on);
    // Names the fields of `path`'s record layout in the tips (reading_aids.h), as --campos and
    // the views' "Campos…" ask, and leaves out what its fields' flags say, comparing the files
    // shown again when either layout has flags; a layout that cannot be used is told in a
    // message, and the tips and the comparison keep what they had. True when taken.
    bool setLayoutFile(const std::filesystem::path& path);
    // The same with a layout already read.
    void setLayout(std::shared_ptr<const parvane::RecordLayout> layout);
    // Both views write in fixed-width letters, with a ruler of columns above the text (see
    // DiffView::setFixedPitch()), and the number columns in the same letters, as --ancho-fijo,
    // Ctrl+M and the views' menu ask.
    void setFixedPitch(bool on);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    void layOutForSize();
    void clipNumberColumns();
    // On a screen too small for the design's size, the window opens at the largest that fits.
    void fitToScreen();
    QMargins frameMargins() const;
    QWidget* layoutControl(LayoutControl control) const;
    void setUpTabOrder();
    void connectCommands();
    void createShortcuts();
    void createViews();

    void chooseFirstFile();
    void chooseSecondFile();
    void chooseFile(PathBox* pathBox);
    void compare();
    // As compare(), showing `early` when it compared the paths in the boxes.
    void compareFrom(EarlyComparison* early);
    // As compare(), with no size limit.
    void compareUnlimited();
    void showComparison(const std::filesystem::path& path1, const std::filesystem::path& path2,
                        EarlyComparison* early);
    // Says when the comparison just shown found the files identical.
    void tellWhenIdentical();
    void openAbout();
    void quit();
    // The views' "Campos…": a layout file from the open-file dialog.
    void chooseLayout();
    // The views' "Omitir…": what the comparisons leave out, from a dialog; its OK compares the
    // files shown again with them. A malformed rule is told, and the dialog comes back.
    void chooseRules();
    // Compares the files in the path boxes again, with or without limits as those shown were.
    void compareShownAgain();
    // Both rulers name the fields of the record at the caret of `view`.
    void showFieldsAtCaret(const DiffView* view);
    void goToNextDifference();
    void goToPreviousDifference();
    // The bar of the search and of the move to a line, made when first asked for.
    FindBar* findBar();

    // The path box that a single file dropped at `position` would fill; none outside both sides.
    PathBox* dropTarget(QPoint position) const;
    // The dropped local files (one or two) that the window can take at `position`; none when the
    // drop is refused.
    std::vector<std::filesystem::path> acceptableDrop(const QMimeData* data, QPoint position) const;
    // Accepts `event` as a copy or a link of acceptable files, or refuses it; true when accepted.
    bool acceptAsCopy(QDropEvent* event) const;
    void answerDrag(QDropEvent* event);

    FileDialog* fileDialog_;
    std::unique_ptr<MessageBoxes> messages_;

    QPushButton* cmdEjecutar_ = nullptr;
    PathBox* txtFichero1_ = nullptr;
    PathBox* txtFichero2_ = nullptr;
    QPushButton* cmdExaminar1_ = nullptr;
    QPushButton* cmdExaminar2_ = nullptr;
    DiffView* rtb1_ = nullptr;
    DiffView* rtb2_ = nullptr;
    QPushButton* command1_ = nullptr;
    NumberColumn* txtNumeracion2_ = nullptr;
    NumberColumn* txtNumeracion1_ = nullptr;
    QPushButton* command2_ = nullptr;

    ComparisonViews* views_ = nullptr;
    ReadingAids* readingAids_ = nullptr;
    FindBar* findBar_ = nullptr;
    // The size the window opened at and the frame it was fitted with, until the user resizes it.
    std::optional<QSize> openingSize_;
    QMargins openingFrame_;
};
