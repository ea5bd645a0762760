#include "delay_settings.h"

#include "field_reader.h"
#include "number_conversion.h"

#include <QFile>

namespace norvane {

void ReadDelaySettings(qint16 &CharDelay, qint16 &RecordDelay, const QString &fileName)
{
    // The defaults come first so that every way out below leaves a complete pair.
    CharDelay = DefaultCharDelay;
    RecordDelay = DefaultRecordDelay;

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    FieldReader reader(file);
    QByteArray field;

    // The marker is a whole field, compared exactly (case and blanks included).
    do {
        if (!reader.readField(field))
            return;
    } while (field != "[Delay]");

    if (!reader.readField(field))
        return;
    const std::optional<qint16> charDelay = convertNumber(field);
    if (!charDelay)
        return;
    CharDelay = *charDelay;

    if (!reader.readField(field))
        return;
    const std::optional<qint16> recordDelay = convertNumber(field);
    if (!recordDelay)
        return;
    RecordDelay = *recordDelay;
}

} // namespace norvane
