// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace norvane {

// A serial port the system knows, with what the system tells about it.
struct DiscoveredPort
{
    QString device;      // /dev/ttyUSB0, COM3
    QString description; // from the driver or the USB adapter; any of these may be empty
    QString manufacturer;
    QString serialNumber;
    QString stableName; // a link in the stable-name folder that leads to the device, if any
};

// Where udev keeps a link for each USB serial adapter named after the adapter itself (maker,
// model, serial number): unlike /dev/ttyUSB0, the name stays the same whichever order the
// adapters are plugged in.
inline const QString StableNameFolder = QStringLiteral("/dev/serial/by-id");

// The serial ports the system knows, in natural order of their device names, each with the link
// of `stableNameFolder` that resolves to it.
std::vector<DiscoveredPort> discoverSerialPorts(const QString &stableNameFolder = StableNameFolder);

// The links in `folder`, by the canonical path of the device each one resolves to. Of several
// links to one device the first by name counts; links that lead nowhere are left out. A missing
// folder has none.
QHash<QString, QString> stableNamesIn(const QString &folder);

} // namespace norvane
