#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <chrono>
#include <functional>

namespace norvane {

class Pause;
class SerialPort;

// Asked before a character is written whether to stop there instead; an empty check never stops.
using StopCheck = std::function<bool()>;

enum class SendOutcome { Sent, Failed, Stopped };

// Writes `text` to the open port one character at a time, each followed by a pause of
// `charPause`; an empty text writes nothing and takes no pause. Stops at the first failed write
// (Failed), or, once `stopRequested` answers true before a character, writes nothing more
// (Stopped: the text ends after a whole character). Every character handed to the port counts
// in `written`.
SendOutcome SendString(SerialPort &port, Pause &pause, std::chrono::milliseconds charPause,
                       const QByteArray &text, qint64 &written,
                       const StopCheck &stopRequested = {});

} // namespace norvane
