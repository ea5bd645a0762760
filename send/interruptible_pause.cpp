#include "interruptible_pause.h"

#include <algorithm>

namespace norvane {

void InterruptiblePause::pause(qint32 ms)
{
    // A pause of 0 still goes through: it gives the processor away, as the pause says.
    do {
        if (m_stopRequested())
            return;
        const qint32 slice = std::min(ms, SliceMs);
        m_pause.pause(slice);
        ms -= slice;
    } while (ms > 0);
}

} // namespace norvane
