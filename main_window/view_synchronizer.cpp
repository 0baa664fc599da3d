#include "main_window/view_synchronizer.h"

#include "main_window/diff_view.h"

#include <QScrollBar>

#include <algorithm>

ViewSynchronizer::ViewSynchronizer(DiffView* first, DiffView* second, QObject* parent)
    : QObject(parent), first_(first), second_(second) {
    follow(first->verticalScrollBar(), second->verticalScrollBar());
    follow(second->verticalScrollBar(), first->verticalScrollBar());
    follow(first->horizontalScrollBar(), second->horizontalScrollBar());
    follow(second->horizontalScrollBar(), first->horizontalScrollBar());
    follow(first, second);
    follow(second, first);
    connect(first, &DiffView::naturalWidthChanged, this, &ViewSynchronizer::levelWidths);
    connect(second, &DiffView::naturalWidthChanged, this, &ViewSynchronizer::levelWidths);
}

void ViewSynchronizer::follow(QScrollBar* leader, QScrollBar* follower) {
    // Setting a bar to the value it has emits nothing, so the two bars never chase each other.
    connect(leader, &QScrollBar::valueChanged, follower, &QScrollBar::setValue);
    // A bar whose range has just grown catches up with its leader.
    connect(follower, &QScrollBar::rangeChanged, leader,
            [leader, follower] { follower->setValue(leader->value()); });
}

void ViewSynchronizer::follow(DiffView* leader, DiffView* follower) {
    // Paging with the keys moves a view without a word from its scroll bar; the view still
    // announces that its text moved.
    connect(leader, &QPlainTextEdit::updateRequest, follower,
            [leader, follower](const QRect&, int dy) {
                if (dy != 0) {
                    follower->verticalScrollBar()->setValue(leader->verticalScrollBar()->value());
                }
            });
}

void ViewSynchronizer::levelWidths() {
    const qreal width = std::max(first_->naturalWidth(), second_->naturalWidth());
    first_->setLevelWidth(width);
    second_->setLevelWidth(width);
}
