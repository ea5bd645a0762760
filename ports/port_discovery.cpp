// SPDX-License-Identifier: MIT
#include "port_discovery.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>

namespace norvane {

std::vector<DiscoveredPort> discoverSerialPorts(const QString &stableNameFolder)
{
    const QHash<QString, QString> links = stableNamesIn(stableNameFolder);
    std::vector<DiscoveredPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        DiscoveredPort port{info.systemLocation(), info.description(), info.manufacturer(),
                            info.serialNumber(), QString()};
        const QString canonical = QFileInfo(port.device).canonicalFilePath();
        port.stableName = links.value(canonical.isEmpty() ? port.device : canonical);
        ports.push_back(port);
    }
    // ttyS2 before ttyS10.
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(ports.begin(), ports.end(), [&collator](const auto &a, const auto &b) {
        return collator.compare(a.device, b.device) < 0;
    });
    return ports;
}

QHash<QString, QString> stableNamesIn(const QString &folder)
{
    QHash<QString, QString> names;
    // The links lead to character devices, which only the System filter lists.
    const QFileInfoList links = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink())
            continue;
        const QString device = link.canonicalFilePath(); // empty when the link leads nowhere
        if (!device.isEmpty() && !names.contains(device))
            names.insert(device, link.absoluteFilePath());
    }
    return names;
}

} // namespace norvane
