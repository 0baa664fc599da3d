#include "window_test_support.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QtGlobal>

void WindowTestCase::init() {
    auto scripted = std::make_unique<ScriptedFileDialog>();
    auto recording = std::make_unique<RecordingMessages>();
    dialog = scripted.get();
    messages = recording.get();
    window = new MainWindow(std::move(scripted), std::move(recording));
    messages->window = window;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

void WindowTestCase::cleanup() {
    delete window;
    window = nullptr;
}

QString WindowTestCase::write(const QString& name, const QByteArray& content) {
    return writeTestFile(dir.path(), name, content);
}

ShownViews WindowTestCase::views() const {
    const auto* rtb1 = control<DiffView>("RTB1");
    const auto* rtb2 = control<DiffView>("RTB2");
    return {rtb1->displayText(), rtb2->displayText(), redPositions(rtb1), redPositions(rtb2)};
}

char* toString(const ShownViews& views) {
    const auto describe = [](const QString& text, const std::set<int>& red) {
        return QStringLiteral("%1 characters \"%2\", %3 red")
            .arg(text.size())
            .arg(text.left(40))
            .arg(red.size());
    };
    return qstrdup(
        qPrintable(QStringLiteral("view 1: %1; view 2: %2")
                       .arg(describe(views.text1, views.red1), describe(views.text2, views.red2))));
}

QString writeTestFile(const QString& folder, const QString& name, const QByteArray& content) {
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

std::set<int> redPositions(const DiffView* view) {
    return colouredPositions(view, MainWindow::highlightColour());
}

std::set<int> colouredPositions(const DiffView* view, const QColor& colour) {
    std::set<int> red;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (range.format.foreground().color() == colour) {
                for (int p = range.start; p < range.start + range.length; ++p) {
                    red.insert(block.position() + p);
                }
            }
        }
    }
    for (const QTextEdit::ExtraSelection& selection : view->extraSelections()) {
        if (selection.format.foreground().color() == colour) {
            for (int p = selection.cursor.selectionStart(); p < selection.cursor.selectionEnd();
                 ++p) {
                red.insert(p);
            }
        }
    }
    return red;
}

std::set<int> documentPositions(const DiffView* view, const QList<int>& textPositions) {
    std::set<int> positions;
    for (int p : textPositions) {
        positions.insert(view->documentPosition(p - 1));
    }
    return positions;
}

QList<int> range(int first, int last) {
    QList<int> values;
    for (int v = first; v <= last; ++v) {
        values << v;
    }
    return values;
}

std::filesystem::path localPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}
