// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <chrono>
#include <functional>

namespace norvane {

class Pause;
class SerialPort;

// How far a download goes on once a stop is asked for: to the end of the message being sent (its
// number and text records, so the display stays in step with the records that follow in a later
// download), or no further than the character being written.
enum class StopRequest { None, AfterMessage, Now };

// Asked before every character and between messages whether a stop is asked for; an empty check
// never stops.
using StopCheck = std::function<StopRequest()>;

enum class SendOutcome { Sent, Failed, Stopped };

// Writes `text` to the open port one character at a time, each followed by a pause of
// `charPause`; an empty text writes nothing and takes no pause. Stops at the first failed write
// (Failed), or, once `stopRequested` answers Now before a character, writes nothing more
// (Stopped: the text ends after a whole character). Every character handed to the port counts
// in `written`.
SendOutcome SendString(SerialPort &port, Pause &pause, std::chrono::milliseconds charPause,
                       const QByteArray &text, qint64 &written,
                       const StopCheck &stopRequested = {});

// How a download's records reach its port: by default each character written and paused on the
// download's own thread (SendString); the ports of a run sent to at once hand theirs to one thread
// that writes them all, each port at its own pace, just as SendString would.
class RecordWriter
{
public:
    virtual ~RecordWriter() = default;
    virtual SendOutcome write(SerialPort &port, std::chrono::milliseconds charPause,
                              const QByteArray &text, qint64 &written,
                              const StopCheck &stopRequested) = 0;
};

} // namespace norvane
