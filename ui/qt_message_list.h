#pragma once

#include "message_list.h"

class QListWidget;

namespace norvane {

// The table logic's view of the message list: the MessageList interface over the list widget
// (a MessageListWidget, or any QListWidget).
class QtMessageList : public MessageList
{
public:
    explicit QtMessageList(QListWidget &list) : m_list(list) {}

    void clear() override;
    void append(const QByteArray &line) override;
    void replaceLine(int i, const QByteArray &line) override;
    void setTopLine(int i) override;

private:
    QListWidget &m_list;
};

} // namespace norvane
