#include "serial_output.h"

#include "delay_settings.h"
#include "pause.h"
#include "serial_port.h"

namespace norvane {

bool SendString(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text)
{
    return sendCharacters(port, pause, CharDelay, text, {}) == SendOutcome::Sent;
}

SendOutcome sendCharacters(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text,
                           const StopCheck &stopRequested)
{
    const qint32 charPause = pauseMilliseconds(CharDelay);
    for (const char c : text) {
        if (stopRequested && stopRequested())
            return SendOutcome::Stopped;
        // The pause after this character counts from the moment its write starts.
        pause.markWrite();
        if (!port.write(c))
            return SendOutcome::Failed;
        pause.pause(charPause);
    }
    return SendOutcome::Sent;
}

} // namespace norvane
