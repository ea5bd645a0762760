#include "delay_settings.h"

#include "settings_file.h"

namespace norvane {

void ReadDelaySettings(qint16 &CharDelay, qint16 &RecordDelay, const QString &fileName)
{
    const Settings settings = readSettingsFile(fileName);
    CharDelay = settings.CharDelay;
    RecordDelay = settings.RecordDelay;
}

} // namespace norvane
