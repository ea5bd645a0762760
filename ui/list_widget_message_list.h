#pragma once

#include "message_list.h"

class QListWidget;

namespace norvane {

// The table logic's view of the message list, drawn by a QListWidget.
class ListWidgetMessageList : public MessageList
{
public:
    explicit ListWidgetMessageList(QListWidget &list) : m_list(list) {}

    void clear() override;
    void append(const QByteArray &line) override;
    void replaceLine(int i, const QByteArray &line) override;
    void setTopLine(int i) override;

private:
    QListWidget &m_list;
};

} // namespace norvane
