#pragma once

// The text of a selection in one file of a comparison, for the clipboard: the file's own
// characters, each line break given as "\n", as a view copies its own selection. A selection that
// reaches the empty line a view shows after a last line without a line break ends with that line:
// the break is not the file's.
//
// read() reads the selection from the files (FileComparison::linePairs()) a piece at a time on
// the caller's thread, letting the window paint between pieces, and shows a progress dialog with
// "Cancelar" when it lasts more than kShowAfterMs (comparison_progress.h); user input to the
// window waits until then, and closing the window cancels the copy. The text it gathers is never
// more than `most` bytes as UTF-8 (kMostBytes unless a test says otherwise): a larger selection is
// refused with a Spanish message naming the file, as soon as it is known to be larger. The engine's
// errors (FileChangedError) are thrown to the caller. The comparison must outlive the call, which
// the caller ensures by refusing to compare again meanwhile.

#include "comparison/file_comparison.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

class SelectionCopy {
public:
    static constexpr std::uint64_t kMostBytes = std::uint64_t{128} << 20;
    static constexpr int kShowAfterMs = 300;
    static inline const QString kTitle = QStringLiteral("Copiando la selección");

    // A place in a file, counted from 0: a line, and a column in characters.
    struct Place {
        std::uint64_t line = 0, column = 0;
    };
    // The text, or why there is none (empty when the user cancelled).
    struct Result {
        std::optional<QString> text;
        QString refusal;
    };

    // The text of file `file` (1 or 2) from `from` to `to` (not included), which come in order.
    // `eachPiece` runs after every piece read; tests use it to make a copy last.
    static Result read(QWidget* parent, const parvane::FileComparison& comparison, int file,
                       Place from, Place to, std::uint64_t most = kMostBytes,
                       const std::function<void()>& eachPiece = {});
    // The same text read at once, with no dialog and no events: nothing when it is larger than
    // `most` bytes. For a reader that cannot wait, such as a paste of the primary selection.
    static std::optional<QString> readQuietly(const parvane::FileComparison& comparison, int file,
                                              Place from, Place to, std::uint64_t most,
                                              const std::function<void()>& eachPiece = {});

private:
    // Reads the text; after every piece, `afterPiece` gets the share done and says whether to go
    // on (false: the result holds no text).
    static Result gather(const parvane::FileComparison& comparison, int file, Place from, Place to,
                         std::uint64_t most, const std::function<bool(double)>& afterPiece);
};
