// SPDX-License-Identifier: MIT
#include "message_list_model.h"

#include "charset.h"

namespace norvane {

MessageListModel::MessageListModel(const MessageTable &table, QObject *parent)
    : QAbstractListModel(parent), m_table(table)
{
}

int MessageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : MessageCount;
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    const int n = index.row();
    return bytesToText(FormatListLine(m_table[std::size_t(n)], qint16(n)));
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

void MessageListModel::reset()
{
    beginResetModel();
    endResetModel();
}

void MessageListModel::rowChanged(int row)
{
    const QModelIndex changed = index(row);
    if (changed.isValid())
        emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void MessageListModel::rowsChanged()
{
    emit dataChanged(index(0), index(MessageCount - 1), {Qt::DisplayRole});
}

} // namespace norvane
