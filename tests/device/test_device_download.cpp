#include "device_session.h"
#include "download_run.h"
#include "fake_dialogs.h"
#include "fake_download.h"
#include "fixed_width.h"
#include "message_file.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "steady_pause.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace norvane::test {
namespace {

// The virtual device's decoding side on a pseudo-terminal, reading on a thread of its own while
// the test thread runs a download into the slave side.
class Receiver
{
public:
    Receiver() : m_session(DeviceOptions{}, [this](const QString &line) { lines.append(line); })
    {
        m_ok = m_terminal.open() && ::pipe(m_stop) == 0;
        if (m_ok)
            m_thread =
                std::thread([this] { m_end = m_session.run(m_terminal.masterFd(), m_stop[0]); });
    }
    ~Receiver()
    {
        stop();
        for (int fd : m_stop) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    bool ok() const { return m_ok; }
    QString path() const { return m_terminal.slavePath(); }

    // Ends reading after everything that has arrived; returns how the session ended.
    DeviceSession::End stop()
    {
        if (m_thread.joinable()) {
            const char byte = 1;
            if (::write(m_stop[1], &byte, 1) == 1)
                m_thread.join();
            m_session.finish();
        }
        return m_end;
    }
    const DeviceSession &session() const { return m_session; }

    QStringList lines;

private:
    PseudoTerminal m_terminal;
    int m_stop[2] = {-1, -1};
    bool m_ok = false;
    DeviceSession m_session;
    DeviceSession::End m_end = DeviceSession::End::ReadError;
    std::thread m_thread;
};

MessageTable sampleMessages()
{
    MessageTable messages;
    for (int n = 0; n < MessageCount; ++n)
        messages[std::size_t(n)] = "MESSAGE " + QByteArray::number(n);
    messages[0] = QByteArray();
    messages[5] = "HELLO           WORLD           ";
    messages[7] = "NNN N1\rM7 \"quoted\", comma";
    messages[900] = QByteArray("\xe9t\xe9 \x80 40 characters, cut by the download..");
    return messages;
}

struct Download
{
    QSet<int> selected; // empty: send all
    int cr = 1;
    int lf = 0;
    qint16 charDelay = 0;
    qint16 recordDelay = 0;
};

bool runDownload(const QString &device, const MessageTable &messages, const Download &download,
                 QStringList *errors = nullptr)
{
    EventLog log;
    FakeControls controls(log);
    controls.cr = download.cr;
    controls.lf = download.lf;
    controls.selected = download.selected;
    FakeProgress progress(log);
    FakeMessageBox messageBox;
    QtSerialPort port(PortDevices{device, QString(), QString(), QString()});
    SteadyPause pause;
    const DownloadScope scope =
        download.selected.isEmpty() ? DownloadScope::AllMessages : DownloadScope::SelectedMessages;
    const bool sent =
        RunDownload(scope, DownloadData{messages, download.charDelay, download.recordDelay},
                    controls, progress, port, pause, messageBox);
    if (errors)
        *errors = messageBox.texts;
    return sent;
}

QString deviceProgram()
{
    return QStringLiteral(NORVANE_DEVICE_PROGRAM);
}

// Starts the device program and waits for its "[Ports]," line; returns the device path.
QString startDevice(QProcess &process, const QStringList &arguments, QByteArray &output)
{
    process.start(deviceProgram(), arguments);
    if (!process.waitForStarted(10000))
        return {};
    static const QRegularExpression portsLine(QStringLiteral("^\\[Ports\\],(\\S+)$"),
                                              QRegularExpression::MultilineOption);
    while (process.waitForReadyRead(10000)) {
        output += process.readAllStandardOutput();
        const auto match = portsLine.match(QString::fromLocal8Bit(output));
        if (match.hasMatch())
            return match.captured(1);
    }
    return {};
}

} // namespace

class DeviceDownloadTest : public QObject
{
    Q_OBJECT

private slots:
    void receivesEveryMessageOfARealDownload_data();
    void receivesEveryMessageOfARealDownload();
    void programShowsAndSavesWhatItReceives();
    void programEndsWhenIdle();
};

void DeviceDownloadTest::receivesEveryMessageOfARealDownload_data()
{
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("lf");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");

    const QList<int> some{0, 5, 7, 12, 900, 999};
    QTest::newRow("CR, selection, 1/1 ms") << 1 << 0 << some << 1 << 1;
    QTest::newRow("no terminator, selection, 0/0") << 0 << 0 << some << 0 << 0;
    QTest::newRow("LF, selection, 0/1 ms") << 0 << 1 << some << 0 << 1;
    QTest::newRow("CR LF, selection, 1/0") << 1 << 1 << some << 1 << 0;
    QTest::newRow("CR, send all, 0/0") << 1 << 0 << QList<int>{} << 0 << 0;
    QTest::newRow("no terminator, send all, 0/0") << 0 << 0 << QList<int>{} << 0 << 0;
}

void DeviceDownloadTest::receivesEveryMessageOfARealDownload()
{
    QFETCH(int, cr);
    QFETCH(int, lf);
    QFETCH(QList<int>, selected);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);

    Receiver receiver;
    QVERIFY(receiver.ok());
    const MessageTable messages = sampleMessages();
    Download download;
    download.selected = QSet<int>(selected.begin(), selected.end());
    download.cr = cr;
    download.lf = lf;
    download.charDelay = qint16(charDelay);
    download.recordDelay = qint16(recordDelay);
    QStringList errors;
    QVERIFY(runDownload(receiver.path(), messages, download, &errors));
    QCOMPARE(errors, QStringList());
    QCOMPARE(receiver.stop(), DeviceSession::End::Stopped);

    const int terminatorLength = (cr == 1) + (lf == 1);
    qint64 bytes = 0;
    int sent = 0;
    for (int n = 0; n < MessageCount; ++n) {
        const bool wasSent = selected.isEmpty() || selected.contains(n);
        const QByteArray expected =
            wasSent ? fixedWidth(messages[std::size_t(n)], EntryLength) : QByteArray();
        QCOMPARE(receiver.session().received()[std::size_t(n)], expected);
        if (wasSent) {
            ++sent;
            bytes += 1 + QByteArray::number(n).size() + 33 + 2 * terminatorLength;
        }
    }
    QCOMPARE(receiver.session().decoder().messages(), sent);
    QCOMPARE(receiver.session().decoder().bytes(), bytes);
    QCOMPARE(receiver.session().decoder().skippedBytes(), 0);
    QCOMPARE(receiver.lines.size(), 2 * sent);
}

void DeviceDownloadTest::programShowsAndSavesWhatItReceives()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("received.txt"));
    QProcess device;
    QByteArray output;
    const QString path = startDevice(device, {"--char-delay", "1000", "--save", saved}, output);
    QVERIFY2(!path.isEmpty(), output.constData());

    // Two downloads: the device keeps listening while the tool closes and reopens the port.
    const MessageTable messages = sampleMessages();
    Download first;
    first.selected = {5};
    first.charDelay = 1;
    QVERIFY(runDownload(path, messages, first));
    Download second;
    second.selected = {7};
    second.recordDelay = 1;
    QVERIFY(runDownload(path, messages, second));

    device.terminate();
    QVERIFY(device.waitForFinished(10000));
    output += device.readAllStandardOutput();
    QCOMPARE(device.exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.exitCode(), 0);
    QCOMPARE(device.readAllStandardError(), QByteArray());

    const QStringList lines = QString::fromLocal8Bit(output).split('\n', Qt::SkipEmptyParts);
    QVERIFY(lines.contains("005 |HELLO           |"));
    QVERIFY(lines.contains("    |WORLD           |"));
    QVERIFY(lines.contains(QString::fromUtf8("007 |NNN N1\u240dM7 \"quote|")));
    // Every gap inside a pair is shorter than 1000 ms: 36 for each pair of 37 bytes.
    QVERIFY(!lines.filter(QRegularExpression("^warning: message 5: ")).isEmpty());
    QVERIFY(!lines.filter(QRegularExpression("^warning: message 7: ")).isEmpty());
    QVERIFY2(QRegularExpression(
                 "^summary: messages 2, bytes 74, skipped bytes 0, short gaps 72, min gap "
                 "\\d+\\.\\d{3} ms$")
                 .match(lines.constLast())
                 .hasMatch(),
             qPrintable(lines.constLast()));

    MessageTable loaded;
    QVERIFY(readMessageFile(saved, loaded));
    for (int n = 0; n < MessageCount; ++n) {
        const QByteArray expected =
            n == 5 || n == 7 ? fixedWidth(messages[std::size_t(n)], EntryLength) : QByteArray();
        QCOMPARE(loaded[std::size_t(n)], expected);
    }
}

void DeviceDownloadTest::programEndsWhenIdle()
{
    QProcess device;
    QByteArray output;
    QVERIFY(!startDevice(device, {"--idle", "0.3", "--quiet"}, output).isEmpty());
    QVERIFY(device.waitForFinished(10000));
    output += device.readAllStandardOutput();
    QCOMPARE(device.exitCode(), 0);
    QVERIFY2(output.endsWith(
                 "summary: messages 0, bytes 0, skipped bytes 0, short gaps 0, min gap n/a\n"),
             output.constData());
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::DeviceDownloadTest)
#include "test_device_download.moc"
