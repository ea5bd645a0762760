// SPDX-License-Identifier: MIT
#include "message_list_view.h"

namespace norvane {

MessageListView::MessageListView(QWidget *parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

int MessageListView::currentRow() const
{
    return currentIndex().row();
}

int MessageListView::topLine() const
{
    const QModelIndex index = indexAt(QPoint(1, 1));
    return index.isValid() ? index.row() : 0;
}

void MessageListView::focusInEvent(QFocusEvent *event)
{
    if (currentIndex().isValid()) {
        QListView::focusInEvent(event);
        return;
    }
    // Skip the item view's "make the first line current" step; keep the focus frame update.
    QAbstractScrollArea::focusInEvent(event); // NOLINT(bugprone-parent-virtual-call)
    viewport()->update();
}

} // namespace norvane
