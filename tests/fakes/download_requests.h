// SPDX-License-Identifier: MIT
#pragma once

#include "download_run.h"

#include <QList>

namespace norvane::test {

// A request for the messages numbered in `selected` (none: all of them) with `terminator` and
// pauses of `charMs` and `recordMs` milliseconds, from port 1.
inline DownloadRequest requestFor(const MessageTable &messages, const QList<int> &selected,
                                  const QByteArray &terminator, int charMs, int recordMs)
{
    DownloadRequest request;
    request.messages = messages;
    if (!selected.isEmpty()) {
        request.selection = MessageSelection();
        for (int n : selected)
            request.selection->set(std::size_t(n));
    }
    request.terminator = terminator;
    request.charPause = std::chrono::milliseconds(charMs);
    request.recordPause = std::chrono::milliseconds(recordMs);
    return request;
}

} // namespace norvane::test
