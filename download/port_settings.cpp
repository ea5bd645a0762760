#include "port_settings.h"

#include "field_reader.h"

#include <QFile>

namespace norvane {

QString defaultPortDevice(int portNumber)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(portNumber);
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

static PortDevices defaultPortDevices()
{
    PortDevices devices;
    for (int i = 0; i < PortCount; ++i)
        devices[i] = defaultPortDevice(i + 1);
    return devices;
}

PortDevices ReadPortSettings(const QString &fileName)
{
    PortDevices devices = defaultPortDevices();

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return devices;
    FieldReader reader(file);
    QByteArray field;

    do {
        if (!reader.readField(field))
            return devices;
    } while (field != "[Ports]");

    // The device names share the marker's line; the next line is none of their business.
    for (int i = 0; i < PortCount && !reader.lastFieldEndedLine(); ++i) {
        if (!reader.readField(field))
            break;
        const QByteArray name = field.trimmed();
        // Device names are paths, so they are decoded the way the file system encodes them:
        // the device opened is the one whose name has exactly these bytes.
        if (!name.isEmpty())
            devices[i] = QFile::decodeName(name);
    }
    return devices;
}

} // namespace norvane
