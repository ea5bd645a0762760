#include "serial_output.h"

#include "pause.h"
#include "serial_port.h"

#include <algorithm>

namespace norvane {

bool SendString(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text)
{
    // A negative pause (setup.ini may hold one) is no pause rather than an endless one.
    const qint32 charPause = std::max<qint32>(0, CharDelay);
    for (const char c : text) {
        // The pause after this character counts from the moment its write starts.
        pause.markWrite();
        if (!port.write(c))
            return false;
        pause.pause(charPause);
    }
    return true;
}

} // namespace norvane
