// SPDX-License-Identifier: MIT
#include "download_requests.h"
#include "download_run.h"
#include "fixed_width.h"
#include "message_file.h"
#include "qt_serial_port.h"
#include "steady_pause.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace norvane::test {

// Real downloads through a Qt serial port into the virtual device program, which shows, counts
// and saves what it decodes.
class DeviceDownloadTest : public QObject
{
    Q_OBJECT

private slots:
    void programReceivesEveryMessage_data();
    void programReceivesEveryMessage();
    void programOutlivesItsReader();
};

namespace {

// Bytes the process has read so far, from all its descriptors together; -1 if unknown.
qint64 bytesRead(qint64 pid)
{
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.mid(7).toLongLong();
    }
    return -1;
}

} // namespace

void DeviceDownloadTest::programReceivesEveryMessage_data()
{
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<QList<int>>("selected"); // empty: send all
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");
    QTest::addColumn<int>("runs"); // 0: no download, the device ends when idle

    const QList<int> some{0, 5, 7, 12, 900, 999};
    const QByteArray none, cr("\r"), lf("\n"), crlf("\r\n");
    QTest::newRow("CR, selection, 1/1 ms") << cr << some << 1 << 1 << 2;
    QTest::newRow("no terminator, selection, 0/0") << none << some << 0 << 0 << 2;
    QTest::newRow("LF, selection, 0/1 ms") << lf << some << 0 << 1 << 2;
    QTest::newRow("CR LF, selection, 1/0") << crlf << some << 1 << 0 << 2;
    QTest::newRow("CR, send all, 0/0") << cr << QList<int>{} << 0 << 0 << 1;
    QTest::newRow("no terminator, send all, 0/0") << none << QList<int>{} << 0 << 0 << 1;
    QTest::newRow("nothing sent, ends when idle") << cr << some << 0 << 0 << 0;
}

void DeviceDownloadTest::programReceivesEveryMessage()
{
    QFETCH(QByteArray, terminator);
    QFETCH(QList<int>, selected);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);
    QFETCH(int, runs);

    MessageTable messages;
    for (int n = 0; n < MessageCount; ++n)
        messages[std::size_t(n)] = "MESSAGE " + QByteArray::number(n);
    messages[0] = QByteArray();
    messages[5] = "HELLO           WORLD           ";
    messages[7] = "NNN N1\rM7 \"quoted\", comma";
    messages[900] = QByteArray("\xe9t\xe9 \x80 40 characters, cut by the download..");

    // Every gap inside a pair is shorter than 1000 ms and is flagged.
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("received.txt"));
    QStringList arguments{"--char-delay", "1000", "--save", saved};
    if (runs == 0)
        arguments.append({"--idle", "0.3"});
    // Its output goes to a file: a pipe nobody reads during a download would fill up and stall it.
    const QString outFile = dir.filePath(QStringLiteral("output.txt"));
    const auto output = [&] {
        QFile file(outFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    };
    QProcess device;
    device.setStandardOutputFile(outFile);
    device.start(QStringLiteral(NORVANE_DEVICE_PROGRAM), arguments);
    const QRegularExpression portsLine(QStringLiteral("^\\[Ports\\],(\\S+)$"),
                                       QRegularExpression::MultilineOption);
    QString path;
    QTRY_VERIFY2_WITH_TIMEOUT(!(path = portsLine.match(output()).captured(1)).isEmpty(),
                              qPrintable(output()), 10000);

    // The device keeps listening while the tool closes the port and opens it again.
    for (int run = 0; run < runs; ++run) {
        NoProgress progress;
        QtSerialPort port(PortDevices{path, QString(), QString(), QString()});
        SteadyPause pause;
        const DownloadResult result =
            runDownload(requestFor(messages, selected, terminator, charDelay, recordDelay), port,
                        pause, progress);
        QVERIFY2(result.outcome == DownloadOutcome::Completed, qPrintable(failureText(result)));
    }
    if (runs > 0)
        device.terminate();
    QVERIFY(device.waitForFinished(10000));
    QCOMPARE(device.exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.exitCode(), 0);
    QCOMPARE(device.readAllStandardError(), QByteArray());

    MessageTable loaded;
    QVERIFY(readMessageFile(saved, loaded));
    const int terminatorLength = int(terminator.size());
    qint64 bytes = 0;
    int sent = 0;
    for (int n = 0; n < MessageCount; ++n) {
        const bool wasSent = runs > 0 && (selected.isEmpty() || selected.contains(n));
        QCOMPARE(loaded[std::size_t(n)],
                 wasSent ? fixedWidth(messages[std::size_t(n)], EntryLength) : QByteArray());
        if (wasSent) {
            ++sent;
            bytes += runs * (1 + QByteArray::number(n).size() + 33 + 2 * terminatorLength);
        }
    }
    const QStringList lines = output().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.filter(QRegularExpression("^\\d{3} \\|")).size(), runs * sent);
    if (runs > 0) {
        QVERIFY(lines.contains("005 |HELLO           |"));
        QVERIFY(lines.contains("    |WORLD           |"));
        QVERIFY(lines.contains(QString::fromUtf8("900 |\u00e9t\u00e9 \u20ac 40 charact|")));
        QVERIFY(!lines.filter(QRegularExpression("^warning: message 7: ")).isEmpty());
    }
    const QString summary =
        QStringLiteral("summary: messages %1, bytes %2, skipped bytes 0, short gaps %3, min gap ")
            .arg(runs * sent)
            .arg(bytes)
            .arg(bytes - runs * sent);
    QVERIFY2(lines.constLast().startsWith(summary), qPrintable(lines.constLast()));
    QCOMPARE(lines.constLast().endsWith(QLatin1String("n/a")), bytes == 0);
}

// "norvane-device | head -n 2": the reader goes away after the port line. The device keeps
// decoding what arrives and, when stopped, exits as usual and saves it.
void DeviceDownloadTest::programOutlivesItsReader()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("received.txt"));
    QProcess device;
    QProcess head;
    device.setStandardOutputProcess(&head);
    device.start(QStringLiteral(NORVANE_DEVICE_PROGRAM), {"--save", saved});
    head.start(QStringLiteral("head"), {"-n", "2"});
    QVERIFY(head.waitForFinished(10000));
    const QString path = QRegularExpression(QStringLiteral("^\\[Ports\\],(\\S+)$"),
                                            QRegularExpression::MultilineOption)
                             .match(QString::fromLocal8Bit(head.readAllStandardOutput()))
                             .captured(1);
    QVERIFY(!path.isEmpty());

    const QByteArray text = "HELLO           WORLD           ";
    const QByteArray stream = "N7\rM" + text + "\rN12\rM" + text + "\r";
    const qint64 before = bytesRead(device.processId());
    QVERIFY(before >= 0);
    const int line = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY);
    QVERIFY(line >= 0);
    QCOMPARE(::write(line, stream.constData(), std::size_t(stream.size())), stream.size());
    ::close(line);
    // Stop it only once it has read everything, so that the saved table is complete.
    QTRY_VERIFY_WITH_TIMEOUT(bytesRead(device.processId()) >= before + stream.size() ||
                                 device.state() == QProcess::NotRunning,
                             10000);
    if (device.state() != QProcess::NotRunning) {
        device.terminate();
        QVERIFY(device.waitForFinished(10000));
    }
    QCOMPARE(device.exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.exitCode(), 0);
    QCOMPARE(device.readAllStandardError(), QByteArray());

    MessageTable loaded;
    QVERIFY(readMessageFile(saved, loaded));
    QCOMPARE(loaded[7], text);
    QCOMPARE(loaded[12], text);
    QCOMPARE(loaded[0], QByteArray());
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::DeviceDownloadTest)
#include "device_download_test.moc"
