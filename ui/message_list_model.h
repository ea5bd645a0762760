// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QAbstractListModel>

namespace norvane {

// The message table as the list shows it: row n is message n's list line (FormatListLine), read
// from the table whenever the list paints it, so the table is the only copy of the messages.
class MessageListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit MessageListModel(const MessageTable &table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Every row may have changed: views drop their selection and current row.
    void reset();
    // Row `row` has changed; selection and current row stay.
    void rowChanged(int row);
    // Every row has changed; selection and current row stay.
    void rowsChanged();

private:
    const MessageTable &m_table;
};

} // namespace norvane
