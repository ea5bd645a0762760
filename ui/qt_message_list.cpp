// SPDX-License-Identifier: MIT
#include "qt_message_list.h"

#include "message_list_model.h"
#include "message_list_view.h"

namespace norvane {

void QtMessageList::rebuild()
{
    m_model.reset();
    m_view.scrollToTop();
}

void QtMessageList::lineChanged(int i)
{
    m_model.rowChanged(i);
}

void QtMessageList::linesChanged()
{
    m_model.rowsChanged();
}

void QtMessageList::setTopLine(int i)
{
    const QModelIndex line = m_model.index(i);
    if (!line.isValid())
        return;
    // Scrolls as far towards line i as the list allows; lines near the end stay where they are.
    m_view.scrollTo(line, QAbstractItemView::PositionAtTop);
}

} // namespace norvane
