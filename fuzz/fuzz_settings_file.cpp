// SPDX-License-Identifier: MIT
// Reads arbitrary bytes as a settings file in one pass and compares the result with each section
// read on its own from the list of all fields, the way two separate readings would find them.

#include "field_reader.h"
#include "number_conversion.h"
#include "settings_file.h"

#include <QBuffer>
#include <QFile>

#include <cstdint>
#include <cstdlib>

using namespace norvane;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Field
{
    QByteArray text;
    bool endedLine;
};

// Every field of the input, read whole and then cut to the bytes the settings reader keeps.
QList<Field> allFields(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    FieldReader reader(buffer);
    QList<Field> fields;
    QByteArray field;
    while (reader.readField(field))
        fields.append({field.left(SettingsFieldLength), reader.lastFieldEndedLine()});
    return fields;
}

qsizetype indexOf(const QList<Field> &fields, const QByteArray &marker)
{
    qsizetype i = 0;
    while (i < fields.size() && fields[i].text != marker)
        ++i;
    return i;
}

// The two fields after the first "[Delay]"; a value out of range ends the section.
void delaysOnTheirOwn(const QList<Field> &fields, qint16 &charDelay, qint16 &recordDelay)
{
    charDelay = DefaultCharDelay;
    recordDelay = DefaultRecordDelay;
    qsizetype i = indexOf(fields, "[Delay]");
    for (qint16 *setting : {&charDelay, &recordDelay}) {
        if (++i >= fields.size())
            return;
        const std::optional<qint16> value = convertNumber(fields[i].text);
        if (!value)
            return;
        *setting = *value;
    }
}

// Up to four fields after the first "[Ports]", on the marker's line.
PortDevices portsOnTheirOwn(const QList<Field> &fields)
{
    PortDevices ports = defaultPortDevices();
    qsizetype i = indexOf(fields, "[Ports]");
    for (int port = 0; port < PortCount && i < fields.size() && !fields[i].endedLine; ++port) {
        if (++i >= fields.size())
            break;
        const QByteArray name = fields[i].text.trimmed();
        if (!name.isEmpty())
            ports[port] = QFile::decodeName(name);
    }
    return ports;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    const Settings settings = readSettings(buffer);

    const QList<Field> fields = allFields(input);
    qint16 charDelay = 0;
    qint16 recordDelay = 0;
    delaysOnTheirOwn(fields, charDelay, recordDelay);
    check(settings.CharDelay == charDelay && settings.RecordDelay == recordDelay);
    check(settings.ports == portsOnTheirOwn(fields));
    return 0;
}
