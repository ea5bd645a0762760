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

    // The next field sets `setting`; a missing field or one out of range ends the reading.
    const auto readValue = [&reader, &field](qint16 &setting) {
        if (!reader.readField(field))
            return false;
        const std::optional<qint16> value = convertNumber(field);
        if (value)
            setting = *value;
        return value.has_value();
    };
    if (readValue(CharDelay))
        readValue(RecordDelay);
}

} // namespace norvane
