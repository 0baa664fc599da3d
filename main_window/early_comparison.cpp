#include "main_window/early_comparison.h"

#include "main_window/main_window.h"

#include <QThread>

#include <algorithm>
#include <utility>

EarlyComparison::EarlyComparison(std::filesystem::path file1, std::filesystem::path file2)
    : file1_(std::move(file1)), file2_(std::move(file2)) {
    QThread* owner = QThread::currentThread();
    result_ = std::async(std::launch::async, [this, owner] {
        Result result{parvane::compareFiles(file1_, file2_), {}, {}};
        const parvane::Comparison& comparison = result.comparison;
        const QString text1 = QString::fromStdString(comparison.displayText1);
        const QString text2 = QString::fromStdString(comparison.displayText2);
        const int lines = std::max(DiffView::lineCountOf(text1), DiffView::lineCountOf(text2));
        const QColor colour = MainWindow::highlightColour();
        result.view1 = DiffView::makeContent(text1, lines, comparison.differences1, colour, owner);
        result.view2 = DiffView::makeContent(text2, lines, comparison.differences2, colour, owner);
        return result;
    });
}

EarlyComparison::Result EarlyComparison::take() { return result_.get(); }
