#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace norvane {

class Pause;
class SerialPort;

// Writes `text` to the open port one character at a time, each followed by a pause of CharDelay
// milliseconds (a negative CharDelay counts as 0). An empty text writes nothing and takes no
// pause. Stops at the first failed write and returns false.
bool SendString(SerialPort &port, Pause &pause, qint16 CharDelay, const QByteArray &text);

} // namespace norvane
