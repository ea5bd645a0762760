// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <array>

namespace norvane {

constexpr int PortCount = 4; // Com1..Com4

// The device behind each of the ports Com1..Com4 (index 0..3).
using PortDevices = std::array<QString, PortCount>;

// The platform's device for port number 1..4: /dev/ttyS0../dev/ttyS3 on Linux, COM1..COM4 on
// Windows.
QString defaultPortDevice(int portNumber);

// The default devices of all four ports.
PortDevices defaultPortDevices();

} // namespace norvane
