// SPDX-License-Identifier: MIT
#include "port_listing_text.h"

#include "port_settings.h"

#include <algorithm>

namespace norvane {

namespace {

// The name as one field of the settings file, or nothing when no field can hold it. The field
// reader ends an unquoted field at a comma or line end and a quoted one at the next quote.
std::optional<QString> settingsField(const QString &name)
{
    if (name.contains(QLatin1Char('"')) || name.contains(QLatin1Char('\r')) ||
        name.contains(QLatin1Char('\n')))
        return std::nullopt;
    if (name.contains(QLatin1Char(',')))
        return QLatin1Char('"') + name + QLatin1Char('"');
    return name;
}

QString portsLine(const std::vector<DiscoveredPort> &ports, int &left)
{
    std::vector<DiscoveredPort> ordered = ports;
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const DiscoveredPort &port) { return !port.stableName.isEmpty(); });
    QString line = QStringLiteral("[Ports]");
    int mapped = 0;
    for (const DiscoveredPort &port : ordered) {
        if (mapped == PortCount)
            break;
        std::optional<QString> field = settingsField(port.stableName);
        if (port.stableName.isEmpty() || !field)
            field = settingsField(port.device);
        if (!field)
            continue;
        line += QLatin1Char(',') + *field;
        ++mapped;
    }
    left = int(ordered.size()) - mapped;
    return line;
}

} // namespace

QString portListingText(const std::vector<DiscoveredPort> &ports)
{
    if (ports.empty())
        return QStringLiteral("No serial ports found.\n");

    QString text;
    for (const DiscoveredPort &port : ports) {
        text += port.device + QLatin1Char('\n');
        const std::pair<const char *, const QString &> details[] = {
            {"description:  ", port.description},
            {"manufacturer: ", port.manufacturer},
            {"serial number:", port.serialNumber},
            {"stable name:  ", port.stableName}};
        for (const auto &[label, value] : details) {
            if (!value.isEmpty())
                text += QStringLiteral("    %1 %2\n").arg(QLatin1String(label), value);
        }
    }
    int left = 0;
    const QString line = portsLine(ports, left);
    text +=
        QStringLiteral("\nFor setup.ini, Com1 to Com4 in this order:\n") + line + QLatin1Char('\n');
    if (left > 0)
        text += QStringLiteral("(%1 more port(s) left out: only four fit; edit the line to "
                               "choose.)\n")
                    .arg(left);
    return text;
}

} // namespace norvane
