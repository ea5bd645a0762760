#include "qt_serial_port.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace norvane {

namespace {

// How long one character may wait for room in the operating system's transmit buffer. At 9600
// baud a full buffer of several kilobytes empties within seconds; longer means the line is stuck.
constexpr int WriteTimeoutMs = 10000;

bool validPortNumber(qint16 portNumber)
{
    return portNumber >= 1 && portNumber <= PortCount;
}

} // namespace

QtSerialPort::QtSerialPort(const PortDevices &devices)
    : m_devices(devices), m_port(std::make_unique<QSerialPort>())
{
}

QtSerialPort::~QtSerialPort() = default;

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
    if (m_port->write(&c, 1) != 1)
        return false;
    // QSerialPort only buffers; the character has to reach the operating system now, before the
    // pause that follows it starts.
    m_port->flush();
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(WriteTimeoutMs))
        return false;
    return m_port->error() == QSerialPort::NoError;
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
    // tcdrain() alone could wait for ever on a line that no longer moves, so first watch the
    // output queue empty within the time its bytes need at 9600 baud, plus a margin.
    const int fd = int(m_port->handle());
    int pending = 0;
    if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
        return false;
    const qint64 deadlineMs = qint64(pending) * 11 / 10 + 2000;
    QElapsedTimer timer;
    timer.start();
    while (pending > 0) {
        if (timer.elapsed() > deadlineMs)
            return false;
        QThread::msleep(1);
        if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
            return false;
    }
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
    // Without restoring earlier line settings (Qt 6 never does), so nothing changes under
    // characters that are still on their way.
    if (m_port->isOpen())
        m_port->close();
}

} // namespace norvane
