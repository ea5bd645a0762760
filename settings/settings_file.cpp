// SPDX-License-Identifier: MIT
#include "settings_file.h"

#include "field_reader.h"
#include "number_conversion.h"
#include "open_regular_file.h"

#include <QFile>

namespace norvane {

namespace {

// The fields after one marker: the section starts after the first field equal to the marker
// (compared exactly, case and blanks included) and lasts until it has what it needs.
class Section
{
public:
    explicit Section(const char *marker) : m_marker(marker) {}

    // Whether `field` belongs to the section; the marker field itself does not.
    bool takes(const QByteArray &field)
    {
        if (m_ended)
            return false;
        if (!m_started) {
            m_started = field == m_marker;
            return false;
        }
        return true;
    }
    void end() { m_ended = true; }
    bool ended() const { return m_ended; }

private:
    const char *m_marker;
    bool m_started = false;
    bool m_ended = false;
};

} // namespace

Settings readSettings(QIODevice &device)
{
    Settings settings;
    FieldReader reader(device, SettingsFieldLength);
    Section delay("[Delay]");
    Section ports("[Ports]");
    int delaysRead = 0;
    int portsRead = 0;
    bool startsLine = true;
    QByteArray field;
    while (!(delay.ended() && ports.ended()) && reader.readField(field)) {
        if (delay.takes(field)) {
            const std::optional<qint16> value = convertNumber(field);
            if (value)
                (delaysRead == 0 ? settings.CharDelay : settings.RecordDelay) = *value;
            if (!value || ++delaysRead == 2)
                delay.end();
        }
        // The device names share the marker's line; the next line is none of their business.
        if (ports.takes(field)) {
            const QByteArray name = field.trimmed();
            // Device names are paths, so they are decoded the way the file system encodes
            // them: the device opened is the one whose name has exactly these bytes.
            if (!startsLine && !name.isEmpty())
                settings.ports[portsRead] = QFile::decodeName(name);
            if (startsLine || ++portsRead == PortCount)
                ports.end();
        }
        startsLine = reader.lastFieldEndedLine();
    }
    return settings;
}

Settings readSettingsFile(const QString &fileName)
{
    QFile file;
    if (!openRegularFile(file, fileName))
        return Settings();
    return readSettings(file);
}

} // namespace norvane
