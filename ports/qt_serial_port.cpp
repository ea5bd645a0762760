// SPDX-License-Identifier: MIT
#include "qt_serial_port.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <QDeadlineTimer>
#include <QFile>
#include <poll.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace norvane {

namespace {

// Enough for the last character to leave the shift register: one character (start bit, 8 data
// bits, stop bit) takes about 1.04 ms at 9600 baud.
constexpr int CharacterTimeMs = 2;

// How long the output queue may take beyond the time its bytes need at 9600 baud.
constexpr std::chrono::milliseconds DrainMargin{2000};

// Why the port failed, in the user's words.
const char *const NoPortChosen = "No port is chosen.";
const char *const NotFound = "The device does not exist; is the adapter plugged in?";
const char *const PermissionDenied =
    "Permission denied; on Linux the user must be in the dialout group and log in again.";
const char *const InUse = "The port is in use by another program.";
const char *const HungUp = "The line was hung up; the adapter may have been unplugged.";
const char *const TimedOut = "Writing to the port timed out.";
const char *const NotSerial = "The device is not a serial port.";
const char *const Interrupted = "The wait was given up: a stop was asked for.";

// How often a wait asks the interruption.
constexpr int InterruptionCheckMs = 20;

// A wait given up for an interruption reports this instead of an error number.
constexpr int WaitInterrupted = -1;

bool validPortNumber(qint16 portNumber)
{
    return portNumber >= 1 && portNumber <= PortCount;
}

// The reason for a failed write or drain, from the system's error number.
QString writeFailureReason(int error)
{
    switch (error) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
        return QString::fromLatin1(HungUp);
    case ETIMEDOUT:
        return QString::fromLatin1(TimedOut);
    case ENOTTY:
        return QString::fromLatin1(NotSerial);
    case WaitInterrupted:
        return QString::fromLatin1(Interrupted);
    default:
        return qt_error_string(error);
    }
}

// The reason a QSerialPort did not open `device`. Qt reports a device the user may not open and
// one another program holds (by its lock file or by exclusive mode) alike, as a permission
// error; whether the user may write to the device at all tells the two apart.
QString openFailureReason(const QSerialPort &port, const QString &device)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QString::fromLatin1(NotFound);
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(device).constData(), W_OK) != 0) {
            if (errno == ENOENT)
                return QString::fromLatin1(NotFound);
            if (errno == EACCES || errno == EPERM || errno == EROFS)
                return QString::fromLatin1(PermissionDenied);
        }
#else
        Q_UNUSED(device);
#endif
        return QString::fromLatin1(InUse);
    }
    case QSerialPort::UnsupportedOperationError:
        return QString::fromLatin1(NotSerial);
    default:
        return port.errorString();
    }
}

#ifdef Q_OS_UNIX
// Hands one character to the terminal driver with a single write(2). The port is non-blocking:
// while the driver's transmit buffer is full, waits for room, for at most `timeout` and until
// `interrupted` answers true. Returns 0, or the error number of the failure: ETIMEDOUT on
// timeout, EIO when the device reports a hang-up or an error (an adapter pulled out),
// WaitInterrupted.
int writeCharacter(int fd, char c, std::chrono::milliseconds timeout,
                   const WaitInterruption &interrupted)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        const ssize_t written = ::write(fd, &c, 1);
        if (written == 1)
            return 0;
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            return EIO;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        if (interrupted && interrupted())
            return WaitInterrupted;
        pollfd ready{fd, POLLOUT, 0};
        const qint64 left = deadline.remainingTime();
        const int rc = ::poll(
            &ready, 1, int(interrupted ? std::min<qint64>(left, InterruptionCheckMs) : left));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return errno;
        if (rc == 0 && deadline.hasExpired())
            return ETIMEDOUT;
        if (rc == 0)
            continue;
        if ((ready.revents & POLLNVAL) != 0)
            return EBADF;
        if ((ready.revents & (POLLERR | POLLHUP)) != 0)
            return EIO;
    }
}
#endif

#ifdef Q_OS_LINUX
// Waits until the terminal's output queue is empty, giving it the time its bytes need at 9600
// baud (with a tenth to spare) plus `margin`, and until `interrupted` answers true. Returns 0,
// ETIMEDOUT, WaitInterrupted, or the error number of reading the queue (the device is gone).
int waitForEmptyOutputQueue(int fd, std::chrono::milliseconds margin,
                            const WaitInterruption &interrupted = {})
{
    int pending = 0;
    if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
        return errno;
    const qint64 deadlineMs = qint64(pending) * 11 / 10 + margin.count();
    QElapsedTimer timer;
    timer.start();
    while (pending > 0) {
        if (timer.elapsed() > deadlineMs)
            return ETIMEDOUT;
        if (interrupted && interrupted())
            return WaitInterrupted;
        QThread::msleep(1);
        if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
            return errno;
    }
    return 0;
}
#endif

} // namespace

QtSerialPort::QtSerialPort(const PortDevices &devices, std::chrono::milliseconds writeTimeout)
    : m_devices(devices), m_writeTimeout(writeTimeout), m_port(std::make_unique<QSerialPort>())
{
}

QtSerialPort::~QtSerialPort()
{
    close();
}

void QtSerialPort::choosePort(qint16 portNumber)
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
    m_error.clear();
    if (!validPortNumber(m_portNumber))
        return fail(QString::fromLatin1(NoPortChosen));
    m_port->setPortName(deviceName());
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->clearError();
    if (!m_port->open(QIODevice::WriteOnly))
        return fail(openFailureReason(*m_port, deviceName()));
    return true;
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
    const int error = writeCharacter(int(m_port->handle()), c, m_writeTimeout, m_interrupted);
    return error == 0 || fail(writeFailureReason(error));
#else
    if (m_port->write(&c, 1) != 1)
        return fail(m_port->errorString());
    // QSerialPort only buffers. Waiting for the port to take the character (rather than flush())
    // also covers a full transmit buffer, which flush() would report as a write error.
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(int(m_writeTimeout.count())))
        return fail(m_port->error() == QSerialPort::TimeoutError ? QString::fromLatin1(TimedOut)
                                                                 : m_port->errorString());
    return m_port->error() == QSerialPort::NoError || fail(m_port->errorString());
#endif
}

SerialPort::Attempt QtSerialPort::writeWithoutWaiting(char c)
{
#ifdef Q_OS_UNIX
    if (!m_port->isOpen())
        return Attempt::Failed;
    for (;;) {
        const ssize_t written = ::write(int(m_port->handle()), &c, 1);
        if (written == 1)
            return Attempt::Written;
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Attempt::WouldWait;
        fail(writeFailureReason(written == 0 ? EIO : errno));
        return Attempt::Failed;
    }
#else
    return SerialPort::writeWithoutWaiting(c);
#endif
}

bool QtSerialPort::drain()
{
    if (!m_port->isOpen())
        return false;
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(int(m_writeTimeout.count())))
        return fail(m_port->error() == QSerialPort::TimeoutError ? QString::fromLatin1(TimedOut)
                                                                 : m_port->errorString());
    if (m_port->error() != QSerialPort::NoError)
        return fail(m_port->errorString());
#ifdef Q_OS_LINUX
    // tcdrain() alone could wait for ever on a line that no longer moves, so the output queue
    // has to empty first, within the time its bytes need plus a margin.
    const int fd = int(m_port->handle());
    if (const int error = waitForEmptyOutputQueue(fd, DrainMargin, m_interrupted))
        return fail(writeFailureReason(error));
    // The queue is empty; this waits for the last character to leave the shift register.
    int rc;
    do {
        rc = ::tcdrain(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || fail(writeFailureReason(errno));
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
    if (waitForEmptyOutputQueue(int(m_port->handle()), std::chrono::milliseconds(100)) == 0)
        QThread::msleep(CharacterTimeMs);
#endif
    m_port->close();
}

bool QtSerialPort::fail(const QString &reason)
{
    m_error = reason;
    return false;
}

} // namespace norvane
