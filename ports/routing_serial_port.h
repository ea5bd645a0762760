// SPDX-License-Identifier: MIT
#pragma once

#include "port_settings.h"
#include "qt_serial_port.h"
#include "serial_port.h"

#include <memory>

namespace norvane {

// The ports Com1..Com4 whatever their devices are: when it opens, it looks at the device name
// the chosen port stands for and opens a network port for a network address (tcp://...,
// rfc2217://...) or the local serial device for anything else.
class RoutingSerialPort : public SerialPort
{
public:
    explicit RoutingSerialPort(const PortDevices &devices);
    ~RoutingSerialPort() override;

    void choosePort(qint16 portNumber) override { m_local.choosePort(portNumber); }
    QString deviceName() const override { return m_local.deviceName(); }
    bool open() override;
    bool isOpen() const override { return m_active && m_active->isOpen(); }
    bool write(char c) override { return m_active && m_active->write(c); }
    Attempt writeWithoutWaiting(char c) override
    {
        return m_active ? m_active->writeWithoutWaiting(c) : Attempt::Failed;
    }
    bool drain() override { return m_active && m_active->drain(); }
    void close() override;
    void setWaitInterruption(const WaitInterruption &interrupted) override;
    QString errorString() const override;

private:
    QtSerialPort m_local;
    std::unique_ptr<SerialPort> m_network;
    SerialPort *m_active = nullptr; // the port last opened
    WaitInterruption m_interrupted;
};

} // namespace norvane
