#include "main_window/early_comparison.h"

#include <QThread>

#include <utility>

EarlyComparison::EarlyComparison(std::filesystem::path file1, std::filesystem::path file2,
                                 std::optional<parvane::DecodingChoices> decodings,
                                 parvane::ComparisonRules rules)
    : file1_(std::move(file1)), file2_(std::move(file2)) {
    QThread* owner = QThread::currentThread();
    result_ = std::async(std::launch::async, [this, owner, decodings, rules = std::move(rules)] {
        parvane::ComparisonOptions options;
        options.decodings = decodings;
        options.rules = rules;
        parvane::FileComparison comparison = parvane::FileComparison::run(file1_, file2_, options);
        ComparisonViews::Contents contents = ComparisonViews::prepare(comparison, owner);
        return Result{std::move(comparison), std::move(contents)};
    });
}

EarlyComparison::Result EarlyComparison::take() { return result_.get(); }
