// SPDX-License-Identifier: MIT
#include "download_plan.h"

#include "download_run.h"

#include <algorithm>

namespace norvane {

DownloadPlan::DownloadPlan(const MessageTable &messages,
                           const std::optional<MessageSelection> &selection,
                           const QByteArray &terminator)
{
    qint64 bytes = 0;
    for (int j = 0; j < MessageCount; ++j) {
        if (selection && !selection->test(std::size_t(j)))
            continue;
        // Sized by the very records the download sends.
        bytes += numberRecord(j, terminator).size() +
                 textRecord(messages[std::size_t(j)], terminator).size();
        m_numbers.push_back(j);
        m_pairEnds.push_back(bytes);
    }
}

int DownloadPlan::indexOf(int number) const
{
    const auto found = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
    return found != m_numbers.end() && *found == number ? int(found - m_numbers.begin()) : -1;
}

qint64 DownloadPlan::bytesBefore(int index) const
{
    return index <= 0 ? 0 : m_pairEnds[std::size_t(index - 1)];
}

DownloadPlan::Reach DownloadPlan::reach(qint64 bytes) const
{
    const int whole =
        int(std::upper_bound(m_pairEnds.begin(), m_pairEnds.end(), bytes) - m_pairEnds.begin());
    return Reach{whole, bytes - bytesBefore(whole)};
}

} // namespace norvane
