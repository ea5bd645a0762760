// SPDX-License-Identifier: MIT
#include "interruptible_pause.h"

#include <algorithm>

namespace norvane {

void InterruptiblePause::pause(std::chrono::milliseconds length)
{
    const bool afterMessage = !m_writeMarked;
    m_writeMarked = false;
    // A pause of 0 still goes through: it gives the processor away, as the pause says.
    do {
        const StopRequest stop = m_stopRequested();
        if (stop == StopRequest::Now || (stop == StopRequest::AfterMessage && afterMessage))
            return;
        const std::chrono::milliseconds slice = std::min(length, Slice);
        m_pause.pause(slice);
        length -= slice;
    } while (length > std::chrono::milliseconds(0));
}

} // namespace norvane
