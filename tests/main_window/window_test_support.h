#pragma once

// Shared by the window tests: stand-ins for the main window's file dialog and message boxes,
// which answer and record without a modal loop, a window built with them, and what the views
// show in red.

#include "main_window/diff_view.h"
#include "main_window/file_dialog.h"
#include "main_window/main_window.h"
#include "main_window/message_boxes.h"
#include "main_window/text_grid.h"

#include <QByteArray>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <set>

// Answers the open-file dialog from a script and records the folder it was opened in.
class ScriptedFileDialog : public FileDialog {
public:
    QStringList answers;
    QStringList foldersShown;

protected:
    QString askForFile(QWidget*, const QString& folder) override {
        foldersShown << folder;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

// Records every message, with what both views showed when it appeared. An offer to compare
// without the limits is an error message too; it is taken when `takeUnlimited` is set.
class RecordingMessages : public MessageBoxes {
public:
    struct Shown {
        bool isError;
        QString text;
        QString view1, view2;
        bool offeredUnlimited = false;
    };
    QList<Shown> shown;
    QWidget* window = nullptr;
    bool takeUnlimited = false;

    void inform(QWidget*, const QString& text) override { record(false, text); }
    void warn(QWidget*, const QString& text) override { record(true, text); }
    bool offerUnlimited(QWidget*, const QString& text) override {
        record(true, text);
        shown.back().offeredUnlimited = true;
        return takeUnlimited;
    }

private:
    void record(bool isError, const QString& text) {
        shown.append({isError, text, window->findChild<DiffView*>("RTB1")->displayText(),
                      window->findChild<DiffView*>("RTB2")->displayText()});
    }
};

// What both views show, with their red characters (document positions).
struct ShownViews {
    QString text1, text2;
    std::set<int> red1, red2;
    friend bool operator==(const ShownViews&, const ShownViews&) = default;
};

// For QCOMPARE: the texts' lengths and beginnings and the red counts.
char* toString(const ShownViews& views);

// How a failed comparison of cells shows them: "(line, column)", 0-based.
namespace QTest {
template <> inline char* toString(const TextCell& cell) {
    return qstrdup(QByteArray("(" + QByteArray::number(cell.line) + ", " +
                              QByteArray::number(cell.column) + ")")
                       .constData());
}
} // namespace QTest

// Base of the window test classes: before every test a main window that uses the two stand-ins
// above is shown, and afterwards it is deleted; test files go to a temporary folder.
class WindowTestCase : public QObject {
    Q_OBJECT

protected:
    QString write(const QString& name, const QByteArray& content);
    template <typename T> T* control(const char* name) const { return window->findChild<T*>(name); }
    DiffView* rtb1() const { return control<DiffView>("RTB1"); }
    DiffView* rtb2() const { return control<DiffView>("RTB2"); }
    ShownViews views() const;

    QTemporaryDir dir;
    MainWindow* window = nullptr;
    ScriptedFileDialog* dialog = nullptr;
    RecordingMessages* messages = nullptr;

private slots:
    void init();
    void cleanup();
};

// Counts the paint events of the widget it watches (installed as its event filter).
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// Writes `content` to `name` in `folder`, replacing what was there; returns its path.
QString writeTestFile(const QString& folder, const QString& name, const QByteArray& content);

// Document positions of the characters drawn in the highlight colour, by a format of their line
// or over it.
std::set<int> redPositions(const DiffView* view);
// The same for any colour.
std::set<int> colouredPositions(const DiffView* view, const QColor& colour);

// Document positions of the characters at the given 1-based text positions.
std::set<int> documentPositions(const DiffView* view, const QList<int>& textPositions);

// The file name that `path` stands for, as the engine takes it.
std::filesystem::path localPath(const QString& path);

// first, first + 1, ..., last.
QList<int> range(int first, int last);
