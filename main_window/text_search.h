#pragma once

// Finds a text in one file of a comparison: the file's own characters as the comparison decoded
// them, line by line (a match never reaches over a line break), forward from a place to the
// file's end and then from its start, or backward to its start and then from its end.
//
// find() reads the file (FileComparison::linePairs()) a piece at a time on the caller's thread,
// letting the window paint between pieces, and shows a progress dialog with "Cancelar" when it
// lasts more than kShowAfterMs (comparison_progress.h); user input to the window waits until
// then, and closing the window cancels the search. It holds one piece at a time, whatever the
// file's size or the length of its lines. The engine's errors (FileChangedError) are thrown to
// the caller; the comparison must outlive the call, which the caller ensures by refusing to
// compare again meanwhile.

#include "comparison/file_comparison.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

class TextSearch {
public:
    static constexpr int kShowAfterMs = 300;
    static inline const QString kTitle = QStringLiteral("Buscando");

    // A place in a file, counted from 0: a line, and a column in characters.
    struct Place {
        std::uint64_t line = 0, column = 0;
        friend auto operator<=>(const Place&, const Place&) = default;
    };
    struct Match {
        Place start;
        std::uint64_t length = 0; // in characters
        bool wrapped = false;     // found past the file's end (or start, backward)
    };
    // The match, if any; none, and `cancelled`, when the user cancelled.
    struct Result {
        std::optional<Match> match;
        bool cancelled = false;
    };

    // The first match of `text` in file `file` (1 or 2) that starts at or after `from`, going on
    // from the file's start; backward, the last that starts before `from`, going on from the
    // file's end. Letters are told apart by case only when `matchCase`. `eachPiece` runs after
    // every piece read; tests use it to make a search last.
    static Result find(QWidget* parent, const parvane::FileComparison& comparison, int file,
                       Place from, const QString& text, bool forward, bool matchCase,
                       const std::function<void()>& eachPiece = {});
    // The same search at once, with no dialog and no events.
    static std::optional<Match> findQuietly(const parvane::FileComparison& comparison, int file,
                                            Place from, const QString& text, bool forward,
                                            bool matchCase);

private:
    // Searches; after every piece, `afterPiece` gets the share done and says whether to go on
    // (false: the result is cancelled).
    static Result search(const parvane::FileComparison& comparison, int file, Place from,
                         const QString& text, bool forward, bool matchCase,
                         const std::function<bool(double)>& afterPiece);
};
