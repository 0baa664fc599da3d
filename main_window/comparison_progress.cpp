#include "main_window/comparison_progress.h"

#include "comparison/text_decoding.h"
#include "main_window/task_input_guard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// How often the window shows how far the pass has gone.
constexpr int kPollMs = 30;
constexpr int kSteps = 1000;
constexpr int kWidestName = 560; // pixels
// The pass's threads give way to the window's when the cores are busy: the nice value they run
// with, above the window's 0.
constexpr int kPassNice = 5;

QString shownName(const std::filesystem::path& file) {
    return QString::fromStdString(parvane::printable(file.native()));
}

// What the pass's thread and the window share.
struct Shared {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::atomic<std::uint64_t> done{0}, total{0};
    std::optional<parvane::FileComparison> result;
    std::exception_ptr error;
};

} // namespace

std::optional<parvane::FileComparison>
ComparisonProgress::run(QWidget* parent, const std::filesystem::path& file1,
                        const std::filesystem::path& file2, const Prelude& prelude,
                        const std::optional<parvane::DecodingChoices>& decodings,
                        const parvane::ComparisonRules& rules) {
    Shared shared;
    QEventLoop loop;
    std::thread pass([&shared, &file1, &file2, &prelude, &decodings, &rules, &loop] {
        // The threads the pass starts take this thread's nice value.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kPassNice);
        try {
            if (prelude) {
                prelude([&shared] { return shared.cancelled.load(); });
            }
            const auto progress = [&shared](std::uint64_t done, std::uint64_t total) {
                shared.done = done;
                shared.total = total;
                return !shared.cancelled.load();
            };
            parvane::ComparisonOptions options{true, {}, progress};
            options.decodings = decodings;
            options.rules = rules;
            shared.result = parvane::FileComparison::run(file1, file2, options);
        } catch (...) {
            shared.error = std::current_exception();
        }
        shared.finished = true;
        // Wakes the window at once; a loop that has gone takes its posted calls with it.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    {
        QProgressDialog dialog(parent);
        // A long name is shortened in the middle, so that the dialog stays narrower than a screen.
        const QFontMetrics metrics(dialog.font());
        const auto fitted = [&metrics](const std::filesystem::path& file) {
            return metrics.elidedText(shownName(file), Qt::ElideMiddle, kWidestName);
        };
        setUpDialog(dialog, QStringLiteral("ComparisonProgress"), kTitle,
                    QStringLiteral("Comparando %1\ncon %2…").arg(fitted(file1), fitted(file2)),
                    kSteps);

        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (shared.finished) {
                loop.quit();
                return;
            }
            if (dialog.wasCanceled()) {
                shared.cancelled = true; // the window was closed
                return;
            }
            const std::uint64_t total = shared.total;
            if (total > 0) {
                dialog.setValue(int(double(shared.done) / double(total) * (kSteps - 1)));
            }
        });
        QObject::connect(&dialog, &QProgressDialog::canceled, &loop,
                         [&shared] { shared.cancelled = true; });
        poll.start(kPollMs);
        if (!shared.finished) {
            loop.exec();
        }
        // Leaving early (the application quits) cancels the pass.
        if (!shared.finished) {
            shared.cancelled = true;
        }
    }
    pass.join();

    if (shared.cancelled) {
        return std::nullopt;
    }
    if (shared.error) {
        try {
            std::rethrow_exception(shared.error);
        } catch (const parvane::ComparisonCancelled&) {
            return std::nullopt;
        }
    }
    return std::move(shared.result);
}

std::function<bool(double)> ComparisonProgress::pieceStep(QProgressDialog& dialog, int steps,
                                                          const std::function<void()>& eachPiece) {
    return [&dialog, steps, eachPiece](double done) {
        if (eachPiece) {
            eachPiece();
        }
        dialog.setValue(std::clamp(int(done * (steps - 1)), 0, steps - 1));
        // Until the dialog shows, input to the window waits, so that nothing changes under the
        // task; once shown, the dialog's guard keeps it away.
        QCoreApplication::processEvents(dialog.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
        return !dialog.wasCanceled();
    };
}

void ComparisonProgress::setUpDialog(QProgressDialog& dialog, const QString& name,
                                     const QString& title, const QString& text, int steps) {
    dialog.setObjectName(name);
    dialog.setWindowTitle(title);
    auto* label = new QLabel(&dialog);
    label->setTextFormat(Qt::PlainText); // file names are text, never markup
    label->setText(text);
    dialog.setLabel(label);
    dialog.setCancelButtonText(QStringLiteral("Cancelar"));
    // Not window-modal: the window's input is kept away by the guard, which lets a request to close
    // the window through, where a modal dialog would drop it.
    if (QWidget* parent = dialog.parentWidget()) {
        new TaskInputGuard(&dialog, parent->window());
    }
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setRange(0, steps);
    dialog.setMinimumDuration(kShowAfterMs);
    dialog.setValue(0);
}
