#pragma once

// Runs FileComparison::run() on a thread of its own while the window keeps painting, and shows a
// progress dialog with "Cancelar" when the pass lasts more than kShowAfterMs; while it shows, the
// window takes no input, and closing the window cancels the pass (task_input_guard.h).
//
// run() returns when the pass has ended: the comparison, or none when the user cancelled or closed
// the window (a cancel that comes after the pass has read everything still counts, so nothing is
// shown). The
// engine's errors (FileError, FileChangedError, ...) are thrown again on the caller's thread. The
// pass's thread is always joined before run() returns, also when the application is asked to
// quit meanwhile (the pass is then cancelled). The file names shown are plain text.

#include "comparison/file_comparison.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QProgressDialog;
class QWidget;

class ComparisonProgress {
public:
    static constexpr int kShowAfterMs = 300;
    static inline const QString kTitle = QStringLiteral("Comparando los ficheros");

    // `prelude` runs on the pass's thread before it starts, with a function telling whether the
    // user has cancelled; tests use it to hold a pass open.
    using Prelude = std::function<void(const std::function<bool()>& cancelled)>;

    // Sets up `dialog` as every long task of the window shows itself: named `name`, titled
    // `title`, with `text` as plain text, "Cancelar", shown after kShowAfterMs, with `steps` steps,
    // at 0, and the window's input kept away while it shows (task_input_guard.h). `dialog` must
    // have the window as its parent.
    static void setUpDialog(QProgressDialog& dialog, const QString& name, const QString& title,
                            const QString& text, int steps);
    // What a task read a piece at a time calls after each piece with the share done: runs
    // `eachPiece` (tests slow a task with it), moves `dialog` on, lets the window paint (and, once
    // the dialog shows, take input, which its guard keeps away from the window) and says whether
    // to go on.
    static std::function<bool(double)> pieceStep(QProgressDialog& dialog, int steps,
                                                 const std::function<void()>& eachPiece);

    static std::optional<parvane::FileComparison>
    run(QWidget* parent, const std::filesystem::path& file1, const std::filesystem::path& file2,
        const Prelude& prelude = {},
        const std::optional<parvane::DecodingChoices>& decodings = std::nullopt,
        const parvane::ComparisonRules& rules = {});
};
