// SPDX-License-Identifier: MIT
#include "routing_serial_port.h"

#include "network_address.h"
#ifdef Q_OS_UNIX
#include "network_serial_port.h"
#endif

namespace norvane {

RoutingSerialPort::RoutingSerialPort(const PortDevices &devices) : m_local(devices) {}

RoutingSerialPort::~RoutingSerialPort()
{
    close();
}

bool RoutingSerialPort::open()
{
    close();
    const QString device = m_local.deviceName();
    if (isNetworkAddress(device)) {
#ifdef Q_OS_UNIX
        m_network = std::make_unique<NetworkSerialPort>(device);
        m_network->setWaitInterruption(m_interrupted);
        m_active = m_network.get();
#else
        // Network ports are built on POSIX sockets; here the name is opened as a device, which
        // fails the usual way.
        m_active = &m_local;
#endif
    } else {
        m_network.reset();
        m_active = &m_local;
    }
    return m_active->open();
}

void RoutingSerialPort::close()
{
    if (m_active)
        m_active->close();
}

void RoutingSerialPort::setWaitInterruption(const WaitInterruption &interrupted)
{
    m_local.setWaitInterruption(interrupted);
    if (m_network)
        m_network->setWaitInterruption(interrupted);
    m_interrupted = interrupted;
}

QString RoutingSerialPort::errorString() const
{
    return m_active ? m_active->errorString() : QString();
}

} // namespace norvane
