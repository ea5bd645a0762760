// SPDX-License-Identifier: MIT
#include "message_table.h"

#include "fixed_width.h"
#include "message_list.h"
#include "number_conversion.h"

namespace norvane {

namespace {

// Whether `index` names a message. The list only ever holds the 1000 message lines, so any
// other index, including -1 for "no current line", has nothing to act on.
bool isMessageNumber(qint32 index)
{
    return index >= 0 && index < MessageCount;
}

} // namespace

QByteArray FormatListLine(const QByteArray &entry, qint16 number)
{
    return QByteArray::number(number).rightJustified(3, ' ') + ": " + entry;
}

void ClearMessages(MessageTable &Messages, MessageList &list)
{
    for (QByteArray &entry : Messages)
        entry.clear();
    RefreshList(list);
}

void RefreshList(MessageList &list)
{
    list.rebuild();
}

void ModifyMessage(MessageTable &Messages, MessageList &list, qint16 index,
                   const QByteArray &firstLine, const QByteArray &secondLine)
{
    if (!isMessageNumber(index))
        return;
    Messages[index] =
        fixedWidth(firstLine, DisplayLineLength) + fixedWidth(secondLine, DisplayLineLength);
    list.lineChanged(index);
}

std::optional<DisplayLines> SplitMessage(const MessageTable &Messages, qint16 index)
{
    if (!isMessageNumber(index))
        return std::nullopt;
    const QByteArray &entry = Messages[index];
    return DisplayLines{entry.left(DisplayLineLength),
                        entry.mid(DisplayLineLength, DisplayLineLength)};
}

void GoToNumber(MessageList &list, const QByteArray &text)
{
    const std::optional<qint16> number = convertNumber(text);
    if (number && isMessageNumber(*number))
        list.setTopLine(*number);
}

} // namespace norvane
