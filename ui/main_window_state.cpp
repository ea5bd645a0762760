// SPDX-License-Identifier: MIT
#include "main_window_state.h"

namespace norvane {

void startUpMainWindow(MainWindowState &state, MessageList &list, const QString &settingsFile)
{
    // One reading of the settings file gives the pauses and the port devices alike.
    const Settings settings = readSettingsFile(settingsFile);
    state.CharDelay = settings.CharDelay;
    state.RecordDelay = settings.RecordDelay;
    state.ports = settings.ports;
    // The table starts empty whatever the settings file held.
    ClearMessages(state.Messages, list);
}

} // namespace norvane
