// SPDX-License-Identifier: MIT
#include "port_settings.h"

namespace norvane {

QString defaultPortDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

PortDevices defaultPortDevices()
{
    PortDevices devices;
    for (int i = 0; i < PortCount; ++i)
        devices[i] = defaultPortDevice(i + 1);
    return devices;
}

} // namespace norvane
