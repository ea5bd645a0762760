// SPDX-License-Identifier: MIT
#include "serial_port_factory.h"

#include "routing_serial_port.h"

namespace norvane {

std::unique_ptr<SerialPort> makeSerialPort(const PortDevices &devices)
{
    return std::make_unique<RoutingSerialPort>(devices);
}

std::unique_ptr<SerialPort> makeSerialPort(const QString &device)
{
    PortDevices devices;
    devices[0] = device;
    auto port = makeSerialPort(devices);
    port->choosePort(1);
    return port;
}

} // namespace norvane
