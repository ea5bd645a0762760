// SPDX-License-Identifier: MIT
#pragma once

#include "message_list.h"
#include "message_table.h"

#include <QByteArrayList>

namespace norvane::test {

// A message list over a table that keeps the lines it shows, its top line and how often it was
// rebuilt or shown anew whole.
class FakeList : public MessageList
{
public:
    explicit FakeList(const MessageTable &table) : m_table(table) {}

    void rebuild() override
    {
        lines.clear();
        for (int n = 0; n < MessageCount; ++n)
            lines.append(FormatListLine(m_table[std::size_t(n)], qint16(n)));
        topLine = 0;
        ++clears;
    }
    void lineChanged(int i) override
    {
        lines[i] = FormatListLine(m_table[std::size_t(i)], qint16(i));
        ++replacements;
    }
    void linesChanged() override
    {
        for (int n = 0; n < MessageCount; ++n)
            lines[n] = FormatListLine(m_table[std::size_t(n)], qint16(n));
        ++redraws;
    }
    void setTopLine(int i) override
    {
        topLine = i;
        ++topLineCalls;
    }

    QByteArrayList lines;
    int topLine = 0;
    int clears = 0;
    int replacements = 0;
    int redraws = 0;
    int topLineCalls = 0;

private:
    const MessageTable &m_table;
};

} // namespace norvane::test
