// SPDX-License-Identifier: MIT
#pragma once

#include "port_settings.h"
#include "serial_port.h"

#include <chrono>
#include <memory>

class QSerialPort;

namespace norvane {

// The serial line on a Qt serial port: 9600 8N1, no flow control, opened write-only.
// Port numbers 1..4 map to the devices given at construction.
class QtSerialPort : public SerialPort
{
public:
    // How long one character may wait for room in the operating system's transmit buffer. At
    // 9600 baud a full buffer of several kilobytes empties within seconds; longer means the line
    // is stuck.
    static constexpr std::chrono::milliseconds DefaultWriteTimeout{10000};

    explicit QtSerialPort(const PortDevices &devices,
                          std::chrono::milliseconds writeTimeout = DefaultWriteTimeout);
    ~QtSerialPort() override;

    void choosePort(qint16 portNumber) override;
    QString deviceName() const override;
    bool open() override;
    bool isOpen() const override;
    bool write(char c) override;
    Attempt writeWithoutWaiting(char c) override;
    bool drain() override;
    void close() override;
    void setWaitInterruption(const WaitInterruption &interrupted) override
    {
        m_interrupted = interrupted;
    }
    QString errorString() const override { return m_error; }

private:
    bool fail(const QString &reason);

    PortDevices m_devices;
    std::chrono::milliseconds m_writeTimeout;
    qint16 m_portNumber = 1;
    std::unique_ptr<QSerialPort> m_port;
    QString m_error;
    WaitInterruption m_interrupted;
};

} // namespace norvane
