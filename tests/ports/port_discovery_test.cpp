// SPDX-License-Identifier: MIT
#include "port_discovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace norvane::test {

// The stable names of serial devices: the links of a by-id folder, resolved.
class PortDiscoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void stableNames();
};

void PortDiscoveryTest::stableNames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString devices = dir.filePath("dev");
    const QString byId = dir.filePath("dev/serial/by-id");
    QVERIFY(QDir().mkpath(byId));
    for (const char *device : {"ttyUSB0", "ttyUSB1"}) {
        QFile file(devices + '/' + device);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // As udev makes them: relative links, two to one device, one to a device that has gone.
    QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-B_adapter-if00-port0"));
    QVERIFY(QFile::link("../../ttyUSB0", byId + "/usb-A_adapter-if00-port0"));
    QVERIFY(QFile::link(devices + "/ttyUSB1", byId + "/usb-C_adapter"));
    QVERIFY(QFile::link("../../ttyUSB9", byId + "/usb-gone"));
    QFile plain(byId + "/not-a-link");
    QVERIFY(plain.open(QIODevice::WriteOnly));

    const QString canonical = QDir(devices).canonicalPath();
    const QHash<QString, QString> expected{
        {canonical + "/ttyUSB0", byId + "/usb-A_adapter-if00-port0"},
        {canonical + "/ttyUSB1", byId + "/usb-C_adapter"}};
    QCOMPARE(stableNamesIn(byId), expected);
    QCOMPARE(stableNamesIn(dir.filePath("missing")), (QHash<QString, QString>()));
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::PortDiscoveryTest)
#include "port_discovery_test.moc"
