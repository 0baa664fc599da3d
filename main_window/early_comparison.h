#pragma once

// A comparison within the limits begun before the window that shows it is ready: a thread of its
// own compares the two files and makes both views' content (ComparisonViews::prepare()) while the
// window is being made and shown, so that the window's first paint has the files compared sooner.
// MainWindow::openFiles() shows the result exactly as "Comparar" would, messages included; take()
// throws what the comparison would have thrown.
//
// Make it once the application object exists, on the thread of the window that will show it;
// take() at most once, on that thread. The destructor waits for the thread to end.

#include "comparison/file_comparison.h"
#include "main_window/comparison_views.h"

#include <filesystem>
#include <future>

class EarlyComparison {
public:
    struct Result {
        parvane::FileComparison comparison;
        ComparisonViews::Contents contents;
    };

    // `decodings` and `rules` as ComparisonOptions has them.
    EarlyComparison(std::filesystem::path file1, std::filesystem::path file2,
                    std::optional<parvane::DecodingChoices> decodings = std::nullopt,
                    parvane::ComparisonRules rules = {});
    EarlyComparison(const EarlyComparison&) = delete;
    EarlyComparison& operator=(const EarlyComparison&) = delete;

    const std::filesystem::path& file1() const { return file1_; }
    const std::filesystem::path& file2() const { return file2_; }

    // Waits for the comparison and gives its result.
    Result take();

private:
    std::filesystem::path file1_, file2_;
    std::future<Result> result_;
};
