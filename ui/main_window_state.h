// SPDX-License-Identifier: MIT
#pragma once

#include "delay_settings.h"
#include "message_table.h"
#include "port_settings.h"
#include "settings_file.h"

namespace norvane {

class MessageList;

// The data the main window owns for the whole run of the program.
struct MainWindowState
{
    MessageTable Messages;
    qint16 CharDelay = DefaultCharDelay;
    qint16 RecordDelay = DefaultRecordDelay;
    PortDevices ports;
};

// The main window's start-up, before it first appears: reads the delay settings and the port
// devices from the settings file (opened once, see readSettingsFile), then empties the table and
// fills the list, whatever the file held.
void startUpMainWindow(MainWindowState &state, MessageList &list,
                       const QString &settingsFile = SettingsFileName);

} // namespace norvane
