// SPDX-License-Identifier: MIT
#include "delay_settings.h"
#include "port_settings.h"
#include "settings_file.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvane;

namespace {

#ifdef Q_OS_WIN
const QStringList DefaultPorts{"COM1", "COM2", "COM3", "COM4"};
#else
const QStringList DefaultPorts{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"};
#endif

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void delaySettings_data();
    void delaySettings();

    void portSettings_data();
    void portSettings();

    void bothSections_data();
    void bothSections();

private:
    QString writeSettings(const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void SettingsTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString SettingsTest::writeSettings(const QByteArray &content)
{
    QString name = m_dir->filePath(SettingsFileName);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(name));
    return name;
}

void SettingsTest::delaySettings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");

    QTest::newRow("three lines") << QByteArray("[Delay]\r\n25\r\n400\r\n") << 25 << 400;
    QTest::newRow("one line with commas") << QByteArray("[Delay],25,400") << 25 << 400;
    QTest::newRow("LF line ends") << QByteArray("[Delay]\n25\n400\n") << 25 << 400;
    QTest::newRow("lower-case marker") << QByteArray("[delay]\n25\n400\n") << 10 << 200;
    QTest::newRow("marker with blanks") << QByteArray(" [Delay] \n25\n400\n") << 10 << 200;
    QTest::newRow("marker with more text") << QByteArray("[Delay] fast\n25\n400\n") << 10 << 200;
    QTest::newRow("ini style key") << QByteArray("[Delay]\nchar=25\nrecord=400\n") << 0 << 0;
    QTest::newRow("empty line after marker") << QByteArray("[Delay]\n\n400\n") << 0 << 400;
    QTest::newRow("two markers, first counts")
        << QByteArray("[Delay]\n1\n2\n[Delay]\n3\n4\n") << 1 << 2;
    QTest::newRow("other lines before")
        << QByteArray("; pauses for the display\n[Setup]\nname=x,y\n[Delay]\n25\n400\n") << 25
        << 400;
    QTest::newRow("negative values kept") << QByteArray("[Delay],-5,-1") << -5 << -1;
    QTest::newRow("ends after marker") << QByteArray("[Delay]") << 10 << 200;
    QTest::newRow("ends after first value") << QByteArray("[Delay]\n25\n") << 25 << 200;
    QTest::newRow("first value too large") << QByteArray("[Delay]\n40000\n400\n") << 10 << 200;
    QTest::newRow("second value too large") << QByteArray("[Delay]\n25\n40000\n") << 25 << 200;
    QTest::newRow("quoted values") << QByteArray("\"[Delay]\",\"25\",\"400\"") << 25 << 400;
    QTest::newRow("marker inside unclosed quote")
        << QByteArray("\"notes\n[Delay]\n25\n400\n") << 10 << 200;
    QTest::newRow("NUL bytes") << QByteArray("[Delay]\n25\n400\n").prepend('\0') << 10 << 200;
    QTest::newRow("NUL after value")
        << QByteArray("[Delay]\n25#\n400#\n").replace('#', '\0') << 25 << 400;
    QTest::newRow("binary noise before")
        << QByteArray("\xff\xfe\x01\x02\x80\x90\r\r\n\n,,,\x1a[Delay]x\n[Delay]\n3\n4") << 3 << 4;
    QTest::newRow("empty file") << QByteArray() << 10 << 200;
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n") << 10 << 200;
    QTest::newRow("after a 50 MB line")
        << QByteArray(50 * 1024 * 1024, 'x') + "\n[Delay]\n25\n400\n"
        << 25 << 400;
}

void SettingsTest::delaySettings()
{
    QFETCH(QByteArray, content);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);

    const Settings settings = readSettingsFile(writeSettings(content));
    QCOMPARE(int(settings.CharDelay), charDelay);
    QCOMPARE(int(settings.RecordDelay), recordDelay);
}

void SettingsTest::portSettings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected"); // "" keeps the default of that port

    QTest::newRow("example") << QByteArray("[Ports],/dev/ttyUSB0,,/dev/pts/5\n")
                             << QStringList{"/dev/ttyUSB0", "", "/dev/pts/5", ""};
    QTest::newRow("fifth ignored")
        << QByteArray("[Ports],a,b,c,d,e\n") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("blanks trimmed") << QByteArray("[Ports], /dev/ttyUSB0 ,\t/dev/ttyACM0\t\r\n")
                                    << QStringList{"/dev/ttyUSB0", "/dev/ttyACM0", "", ""};
    QTest::newRow("blank field keeps default")
        << QByteArray("[Ports],   ,b") << QStringList{"", "b", "", ""};
    QTest::newRow("names on the next line")
        << QByteArray("[Ports]\n/dev/ttyUSB0\n") << QStringList{"", "", "", ""};
    QTest::newRow("line ends after second")
        << QByteArray("[Ports],a,b\r\nc,d\n") << QStringList{"a", "b", "", ""};
    QTest::newRow("trailing comma")
        << QByteArray("[Ports],a,\nfoo") << QStringList{"a", "", "", ""};
    QTest::newRow("after delay lines") << QByteArray("[Delay]\n10\n200\n[Ports],/dev/ttyUSB1\n")
                                       << QStringList{"/dev/ttyUSB1", "", "", ""};
    QTest::newRow("first marker counts")
        << QByteArray("[Ports],a\n[Ports],b,c\n") << QStringList{"a", "", "", ""};
    QTest::newRow("lower-case marker") << QByteArray("[ports],a") << QStringList{"", "", "", ""};
    QTest::newRow("quoted name with comma")
        << QByteArray("[Ports],\"/dev/serial/by-id/usb-A,B\",x")
        << QStringList{"/dev/serial/by-id/usb-A,B", "x", "", ""};
    QTest::newRow("no marker") << QByteArray("[Delay],10,200\n") << QStringList{"", "", "", ""};
    QTest::newRow("network addresses")
        << QByteArray("[Ports],tcp://10.0.0.5:4001,rfc2217://[fe80::1]:2217,,rfc2217://box:7\r\n")
        << QStringList{"tcp://10.0.0.5:4001", "rfc2217://[fe80::1]:2217", "", "rfc2217://box:7"};
}

void SettingsTest::portSettings()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);

    const PortDevices ports = readSettingsFile(writeSettings(content)).ports;
    for (int i = 0; i < PortCount; ++i)
        QCOMPARE(ports[i], expected[i].isEmpty() ? DefaultPorts[i] : expected[i]);
}

// Both sections come from one pass over the fields, each as if read on its own.
void SettingsTest::bothSections_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");
    QTest::addColumn<QStringList>("ports"); // "" keeps the default of that port

    QTest::newRow("ports marker as a delay")
        << QByteArray("[Delay],[Ports],5\n") << 0 << 5 << QStringList{"5", "", "", ""};
    QTest::newRow("delay marker as a port name") << QByteArray("[Ports],[Delay],25,400\n") << 25
                                                 << 400 << QStringList{"[Delay]", "25", "400", ""};
    QTest::newRow("ports first, delay next line")
        << QByteArray("[Ports],a,b\n[Delay]\n1\n2\n") << 1 << 2 << QStringList{"a", "b", "", ""};
    QTest::newRow("delay ends early, ports still read")
        << QByteArray("[Delay],40000,[Ports],a\n") << 10 << 200 << QStringList{"a", "", "", ""};
    QTest::newRow("delay values after the ports line")
        << QByteArray("[Ports]\n[Delay],7,8,9\n") << 7 << 8 << QStringList{"", "", "", ""};
    QTest::newRow("over-long name kept in part")
        << "[Ports]," + QByteArray(100000, 'p') + "\n[Delay],3,4" << 3 << 4
        << QStringList{QString(SettingsFieldLength, 'p'), "", "", ""};
}

void SettingsTest::bothSections()
{
    QFETCH(QByteArray, content);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);
    QFETCH(QStringList, ports);

    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const Settings settings = readSettings(buffer);
    QCOMPARE(int(settings.CharDelay), charDelay);
    QCOMPARE(int(settings.RecordDelay), recordDelay);
    for (int i = 0; i < PortCount; ++i)
        QCOMPARE(settings.ports[i], ports[i].isEmpty() ? DefaultPorts[i] : ports[i]);
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings_test.moc"
