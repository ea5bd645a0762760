#include "qt_serial_port.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_UNIX
#include <QDeadlineTimer>
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace norvane {

namespace {

// How long one character may wait for room in the operating system's transmit buffer. At 9600
// baud a full buffer of several kilobytes empties within seconds; longer means the line is stuck.
constexpr int WriteTimeoutMs = 10000;

// Enough for the last character to leave the shift register: one character (start bit, 8 data
// bits, stop bit) takes about 1.04 ms at 9600 baud.
constexpr int CharacterTimeMs = 2;

bool validPortNumber(qint16 portNumber)
{
    return portNumber >= 1 && portNumber <= PortCount;
}

#ifdef Q_OS_UNIX
// Hands one character to the terminal driver with a single write(2). The port is non-blocking:
// while the driver's transmit buffer is full, waits for room, for at most `timeoutMs`. False when
// the device reports an error or hang-up (an adapter pulled out) or on timeout.
bool writeCharacter(int fd, char c, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const ssize_t written = ::write(fd, &c, 1);
        if (written == 1)
            return true;
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            return false;
        pollfd ready{fd, POLLOUT, 0};
        const int rc = ::poll(&ready, 1, int(deadline.remainingTime()));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0 || (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return false;
    }
}
#endif

#ifdef Q_OS_LINUX
// Waits until the terminal's output queue is empty, giving it the time its bytes need at 9600
// baud (with a tenth to spare) plus `marginMs`. False on timeout or when the queue cannot be
// read (the device is gone).
bool waitForEmptyOutputQueue(int fd, qint64 marginMs)
{
    int pending = 0;
    if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
        return false;
    const qint64 deadlineMs = qint64(pending) * 11 / 10 + marginMs;
    QElapsedTimer timer;
    timer.start();
    while (pending > 0) {
        if (timer.elapsed() > deadlineMs)
            return false;
        QThread::msleep(1);
        if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
            return false;
    }
    return true;
}
#endif

} // namespace

QtSerialPort::QtSerialPort(const PortDevices &devices)
    : m_devices(devices), m_port(std::make_unique<QSerialPort>())
{
}

QtSerialPort::~QtSerialPort()
{
    close();
}

void QtSerialPort::setCommPort(qint16 portNumber)
{
    m_portNumber = portNumber;
}

QString QtSerialPort::deviceName() const
{
    // A number without a device (no option chosen) still names something the user recognises.
    if (!validPortNumber(m_portNumber))
        return QStringLiteral("COM%1").arg(m_portNumber);
    const QString &device = m_devices[m_portNumber - 1];
    return device.isEmpty() ? defaultPortDevice(m_portNumber) : device;
}

bool QtSerialPort::open()
{
    close();
    if (!validPortNumber(m_portNumber))
        return false;
    m_port->setPortName(deviceName());
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->clearError();
    return m_port->open(QIODevice::WriteOnly);
}

bool QtSerialPort::isOpen() const
{
    return m_port->isOpen();
}

bool QtSerialPort::write(char c)
{
    if (!m_port->isOpen())
        return false;
#ifdef Q_OS_UNIX
    // The character has to reach the operating system now, before the pause that follows it
    // starts. QSerialPort's write() only buffers, and pushing its buffer out costs a round of
    // notifier and poll calls per character; one write(2) on the port's descriptor is all it
    // takes, and its time stays short and even, which keeps the pacing steady.
    return writeCharacter(int(m_port->handle()), c, WriteTimeoutMs);
#else
    if (m_port->write(&c, 1) != 1)
        return false;
    // QSerialPort only buffers. Waiting for the port to take the character (rather than flush())
    // also covers a full transmit buffer, which flush() would report as a write error.
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(WriteTimeoutMs))
        return false;
    return m_port->error() == QSerialPort::NoError;
#endif
}

bool QtSerialPort::drain()
{
    if (!m_port->isOpen())
        return false;
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(WriteTimeoutMs))
        return false;
    if (m_port->error() != QSerialPort::NoError)
        return false;
#ifdef Q_OS_LINUX
    // tcdrain() alone could wait for ever on a line that no longer moves, so the output queue
    // has to empty first, within the time its bytes need plus a margin.
    const int fd = int(m_port->handle());
    if (!waitForEmptyOutputQueue(fd, 2000))
        return false;
    // The queue is empty; this waits for the last character to leave the shift register.
    int rc;
    do {
        rc = ::tcdrain(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
#else
    return true;
#endif
}

void QtSerialPort::close()
{
    if (!m_port->isOpen())
        return;
#ifdef Q_OS_LINUX
    // Closing a QSerialPort puts back the line settings the device had before it was opened.
    // A download drains before it closes; after a failure there may still be characters on
    // their way, which must not go out with other settings, so they get a short while first.
    if (waitForEmptyOutputQueue(int(m_port->handle()), 100))
        QThread::msleep(CharacterTimeMs);
#endif
    m_port->close();
}

} // namespace norvane
