// SPDX-License-Identifier: MIT
#pragma once

#include "message_table.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace norvane {

// The messages one download sends, in the order it sends them, with the size of each pair on
// the line: what progress, time left and how far an interrupted run got are worked out from.
class DownloadPlan
{
public:
    DownloadPlan(const MessageTable &messages, const std::optional<MessageSelection> &selection,
                 const QByteArray &terminator);

    int messageCount() const { return int(m_numbers.size()); }
    qint64 totalBytes() const { return m_pairEnds.empty() ? 0 : m_pairEnds.back(); }
    // The number of the index-th message sent.
    int number(int index) const { return m_numbers[std::size_t(index)]; }
    // The place of message `number` among those sent, or -1 when it is not sent.
    int indexOf(int number) const;
    // The bytes of the messages before the index-th.
    qint64 bytesBefore(int index) const;
    qint64 pairBytes(int index) const { return bytesBefore(index + 1) - bytesBefore(index); }

    // How far the first `bytes` bytes of the download reach: so many whole messages, and so many
    // bytes of the message after them.
    struct Reach
    {
        int wholeMessages = 0;
        qint64 bytesInto = 0;
    };
    Reach reach(qint64 bytes) const;

private:
    std::vector<int> m_numbers;
    std::vector<qint64> m_pairEnds; // the bytes up to the end of each pair
};

} // namespace norvane
