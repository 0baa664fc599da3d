#pragma once

// A ruler of columns over a view whose letters are of fixed width (DiffView::setFixedPitch()):
// a tick under every column, longer every 5 and every 10, the number of every 10th column
// (of every 20th, 50th... when the numbers are too wide for 10 columns), the caret's column
// marked, and, under them, named spans of columns (a record's fields) when given. It is a child
// of the view, placed in the room the view leaves above its text, and follows the view: its
// columns are the view's cells where they are drawn, scrolled sideways with the text.
//
// Columns count in the whole file from 0, numbers from 1, as the comparison counts them: a view
// that holds a window of the file's columns tells the ruler which column of the file its first one
// is (setFirstColumn()). The ruler writes in the view's letters, smaller (its own font()). Its
// height grows by a row while it has spans; it says so, as the view must then leave it more room:
// the rulers of two views side by side need the same spans, or none, to keep their lines level.

#include <QList>
#include <QString>
#include <QWidget>

class DiffView;

// Columns `first` to `first + length - 1` of every line, named `name`; a `length` of -1 reaches
// to the line's end.
struct RulerField {
    QString name;
    qint64 first = 0;
    qint64 length = -1;
};

class ColumnRuler : public QWidget {
    Q_OBJECT

public:
    explicit ColumnRuler(DiffView* view);

    // The colour of the caret's column.
    static QColor caretColour();

    // The file's column shown in the view's first column.
    void setFirstColumn(qint64 column);
    qint64 firstColumn() const { return first_; }
    // The spans drawn under the numbers, in place of any given before; none by default.
    void setFields(QList<RulerField> fields);
    const QList<RulerField>& fields() const { return fields_; }

    // The height the ruler needs, with its row of spans when it has some.
    int neededHeight() const;
    // Where the rows are drawn: numbers, ticks and spans, from the top edge.
    int ticksTop() const;
    int fieldsTop() const;

signals:
    // neededHeight() has changed.
    void heightChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The column of the file that the view's caret stands on.
    qint64 caretColumn() const;
    // The left edge of the file's `column` in the ruler, as the view draws it.
    qreal columnLeft(qint64 column) const;
    void drawFields(QPainter& painter, const QColor& ink);

    DiffView* view_;
    qint64 first_ = 0;
    QList<RulerField> fields_;
};
