// SPDX-License-Identifier: MIT
#pragma once

#include "port_settings.h"
#include "serial_port.h"

#include <memory>

namespace norvane {

// The serial port for Com1..Com4 mapped to `devices`. Each device name may be a local device
// (/dev/ttyUSB0, COM3) or a network address (tcp://HOST:PORT, rfc2217://HOST:PORT); which one
// is opened is decided by the chosen port's name when the port opens.
std::unique_ptr<SerialPort> makeSerialPort(const PortDevices &devices);

// The same for a single device name, which port number 1 stands for; it is already chosen.
std::unique_ptr<SerialPort> makeSerialPort(const QString &device);

} // namespace norvane
