// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace norvane {

// Asked again and again while a port waits (for a host name, a connection, the line's set-up,
// room for a character, the last characters to leave): once it answers true the wait is given
// up and the call that waited fails. An empty one never interrupts.
using WaitInterruption = std::function<bool()>;

// The serial line to the device: 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control,
// written to only. The real one drives a Qt serial port; tests use a fake.
class SerialPort
{
public:
    virtual ~SerialPort() = default;
    // Chooses the port (1..4, Com1 to Com4) that the next open() uses.
    virtual void choosePort(qint16 portNumber) = 0;
    // The device name the chosen port stands for, as shown in error messages.
    virtual QString deviceName() const = 0;
    // Opens the chosen port with the line settings above. Returns false on failure.
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    // Writes one character; it has been handed to the operating system when this returns.
    // Returns false on failure.
    virtual bool write(char c) = 0;
    // What writeWithoutWaiting() did.
    enum class Attempt { Written, WouldWait, Failed };
    // Writes one character if the operating system takes it at once; WouldWait, with nothing
    // written, when write() would have to wait for room first. A port that cannot tell waits as
    // write() does.
    virtual Attempt writeWithoutWaiting(char c)
    {
        return write(c) ? Attempt::Written : Attempt::Failed;
    }
    // Waits until everything written has left the port. Returns false on failure or timeout.
    virtual bool drain() = 0;
    // Releases the port without touching its line settings. Does nothing when it is closed.
    virtual void close() = 0;
    // From now on the port's waits also end when the interruption given answers true. A port
    // whose waits are all short may ignore it.
    virtual void setWaitInterruption(const WaitInterruption &) {}
    // Why the last open(), write() or drain() failed, in plain words for the user (one line, no
    // device name); empty when nothing has failed or no reason is known.
    virtual QString errorString() const = 0;
};

} // namespace norvane
