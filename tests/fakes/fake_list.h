#pragma once

#include "message_list.h"

#include <QByteArrayList>

namespace norvane::test {

// A message list that keeps its lines, top line and how often it was rebuilt.
class FakeList : public MessageList
{
public:
    void clear() override
    {
        lines.clear();
        topLine = 0;
        ++clears;
    }
    void append(const QByteArray &line) override { lines.append(line); }
    void replaceLine(int i, const QByteArray &line) override
    {
        lines[i] = line;
        ++replacements;
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
    int topLineCalls = 0;
};

} // namespace norvane::test
