#pragma once

#include "port_settings.h"
#include "serial_port.h"

#include <memory>

class QSerialPort;

namespace norvane {

// The serial line on a Qt serial port: 9600 8N1, no flow control, opened write-only.
// Port numbers 1..4 map to the devices given at construction.
class QtSerialPort : public SerialPort
{
public:
    explicit QtSerialPort(const PortDevices &devices);
    ~QtSerialPort() override;

    void setCommPort(qint16 portNumber) override;
    QString deviceName() const override;
    bool open() override;
    bool isOpen() const override;
    bool write(char c) override;
    bool drain() override;
    void close() override;
    QString errorString() const override { return m_error; }

private:
    PortDevices m_devices;
    qint16 m_portNumber = 1;
    std::unique_ptr<QSerialPort> m_port;
    QString m_error;
};

} // namespace norvane
