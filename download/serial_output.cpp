#include "serial_output.h"

#include "delay_settings.h"
#include "pause.h"
#include "serial_port.h"

namespace norvane {

bool SendString(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text)
{
    const qint32 charPause = pauseMilliseconds(CharDelay);
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
