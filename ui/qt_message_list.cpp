#include "qt_message_list.h"

#include "charset.h"

#include <QListWidget>
#include <QScrollBar>

namespace norvane {

void QtMessageList::clear()
{
    m_list.clear();
    m_list.verticalScrollBar()->setValue(0);
}

void QtMessageList::append(const QByteArray &line)
{
    m_list.addItem(bytesToText(line));
}

void QtMessageList::replaceLine(int i, const QByteArray &line)
{
    if (QListWidgetItem *item = m_list.item(i))
        item->setText(bytesToText(line));
}

void QtMessageList::setTopLine(int i)
{
    QListWidgetItem *item = m_list.item(i);
    if (!item)
        return;
    // Scrolls as far towards line i as the list allows; lines near the end stay where they are.
    m_list.scrollToItem(item, QAbstractItemView::PositionAtTop);
}

} // namespace norvane
