#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>

namespace norvane {

class Pause;
class SerialPort;

// Asked before a character is written whether to stop there instead; an empty check never stops.
using StopCheck = std::function<bool()>;

enum class SendOutcome { Sent, Failed, Stopped };

// Writes `text` to the open port one character at a time, each followed by a pause of CharDelay
// milliseconds (a negative CharDelay counts as 0). An empty text writes nothing and takes no
// pause. Stops at the first failed write and returns false.
bool SendString(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text);

// The same, asking `stopRequested` before every character: once it answers true nothing more is
// written, so the text ends after a whole character, and the outcome is Stopped.
SendOutcome sendCharacters(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text,
                           const StopCheck &stopRequested);

} // namespace norvane
