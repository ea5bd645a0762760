// SPDX-License-Identifier: MIT
#pragma once

#include "message_list.h"

namespace norvane {

class MessageListModel;
class MessageListView;

// The message list control as the table logic's message list: the view and the model that
// shows the table in it.
class QtMessageList : public MessageList
{
public:
    QtMessageList(MessageListView &view, MessageListModel &model) : m_view(view), m_model(model) {}

    void rebuild() override;
    void lineChanged(int i) override;
    void linesChanged() override;
    void setTopLine(int i) override;

private:
    MessageListView &m_view;
    MessageListModel &m_model;
};

} // namespace norvane
