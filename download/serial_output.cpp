// SPDX-License-Identifier: MIT
#include "serial_output.h"

#include "pause.h"
#include "serial_port.h"

namespace norvane {

SendOutcome SendString(SerialPort &port, Pause &pause, std::chrono::milliseconds charPause,
                       const QByteArray &text, qint64 &written, const StopCheck &stopRequested)
{
    for (const char c : text) {
        if (stopRequested && stopRequested() == StopRequest::Now)
            return SendOutcome::Stopped;
        // The pause after this character counts from the moment its write starts.
        pause.markWrite();
        if (!port.write(c))
            return SendOutcome::Failed;
        ++written;
        pause.pause(charPause);
    }
    return SendOutcome::Sent;
}

} // namespace norvane
