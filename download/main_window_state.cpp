#include "main_window_state.h"

namespace norvane {

void LoadMainWindow(MainWindowState &state, MessageList &list, const QString &settingsFile)
{
    ReadDelaySettings(state.CharDelay, state.RecordDelay, settingsFile);
    state.ports = ReadPortSettings(settingsFile);
    // The table starts empty whatever the settings file held.
    ClearMessages(state.Messages, list);
}

} // namespace norvane
