// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>
#include <bitset>
#include <optional>

namespace norvane {

class MessageList;

constexpr int MessageCount = 1000;    // messages 0..999
constexpr int EntryLength = 32;       // characters of a full entry
constexpr int DisplayLineLength = 16; // characters of one display line

// The table of messages: entry n is message n, 0 to 32 bytes (one byte per character).
using MessageTable = std::array<QByteArray, MessageCount>;

// Some of the messages, by number: bit n stands for message n.
using MessageSelection = std::bitset<MessageCount>;

// The list line of a message: its number right-aligned in three characters, ": ", the entry.
QByteArray FormatListLine(const QByteArray &entry, qint16 number);

// Empties every entry and rebuilds the list.
void ClearMessages(MessageTable &Messages, MessageList &list);

// Rebuilds the list from the table (scrolled to the top afterwards).
void RefreshList(MessageList &list);

// Stores the two display lines, each filled out or cut to 16 characters, as entry `index` and
// replaces its list line. A negative index (no current line) does nothing.
void ModifyMessage(MessageTable &Messages, MessageList &list, qint16 index,
                   const QByteArray &firstLine, const QByteArray &secondLine);

struct DisplayLines
{
    QByteArray first;  // characters 1..16 of the entry, as far as they exist
    QByteArray second; // characters 17..32 of the entry, as far as they exist
};

// Splits entry `index` into its two display lines. A negative index gives nullopt and the
// caller leaves its fields alone.
std::optional<DisplayLines> SplitMessage(const MessageTable &Messages, qint16 index);

// Scrolls the list so that the number the text stands for is the top line. A text whose number
// lies outside 0..999, or does not convert, leaves the list as it is.
void GoToNumber(MessageList &list, const QByteArray &text);

} // namespace norvane
