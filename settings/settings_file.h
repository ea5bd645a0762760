// SPDX-License-Identifier: MIT
#pragma once

#include "delay_settings.h"
#include "port_settings.h"

#include <QString>

class QIODevice;

namespace norvane {

// The settings file, looked for in the working directory.
inline const QString SettingsFileName = QStringLiteral("setup.ini");

// Of each field only this many bytes are kept (the rest is read past): room for any device path
// a system accepts (PATH_MAX is 4096 on Linux) and so for any sensible spelling of a number.
constexpr qsizetype SettingsFieldLength = 4096;

// What the settings file sets; until then, the defaults.
struct Settings
{
    qint16 CharDelay = DefaultCharDelay;
    qint16 RecordDelay = DefaultRecordDelay;
    PortDevices ports = defaultPortDevices();
};

// Reads both sections of the settings file in one pass over its fields:
// - "[Delay]": the first field that is exactly "[Delay]"; the next field gives CharDelay, the one
//   after it RecordDelay. A value outside -32768..32767 ends this section (it and the value after
//   it keep their defaults).
// - "[Ports]": the first field that is exactly "[Ports]"; up to four more fields on its line name
//   the devices for Com1..Com4. A field that is empty once trimmed keeps that port's default.
// The sections are found independently: a marker may even be a value of the other section.
// A read error ends the reading; what was set until then stays.
Settings readSettings(QIODevice &device);

// Reads the named settings file. A missing or unreadable file, or one that is not a regular
// file (a FIFO, a device), leaves the defaults; the reading never waits for a writer.
Settings readSettingsFile(const QString &fileName);

} // namespace norvane
