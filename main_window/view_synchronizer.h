#pragma once

// Keeps two views level: scrolling one (wheel, bar or keys) scrolls the other to the same line
// and column, and both scroll over the same width.

#include <QObject>

class DiffView;
class QScrollBar;

class ViewSynchronizer : public QObject {
    Q_OBJECT

public:
    ViewSynchronizer(DiffView* first, DiffView* second, QObject* parent = nullptr);

private:
    void follow(QScrollBar* leader, QScrollBar* follower);
    void follow(DiffView* leader, DiffView* follower);
    void levelWidths();

    DiffView* first_;
    DiffView* second_;
};
