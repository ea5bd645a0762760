#include "download_requests.h"
#include "download_run.h"
#include "fixed_width.h"
#include "free_local_port.h"
#include "message_file.h"
#include "network_serial_port.h"
#include "serial_port_factory.h"
#include "steady_pause.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

QString readFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

// Messages that hold every byte a Telnet or terminal layer could be tempted to change.
MessageTable testMessages()
{
    MessageTable messages;
    messages[3] = QByteArray("\xff\xff twice 255, then one \xff");
    messages[7] = "CR\rLF\nCRLF\r\nNUL";
    messages[7].append('\0');
    messages[42] = QByteArray("\x80\xe9\xfe\x11\x13 XON XOFF IAC");
    messages[999] = "LAST";
    return messages;
}

const QList<int> Sent{3, 7, 42, 999};

// Bytes of one run over the messages above with a CR LF terminator.
qint64 bytesPerRun()
{
    qint64 bytes = 0;
    for (const int n : Sent)
        bytes += 1 + QByteArray::number(n).size() + 2 + 1 + EntryLength + 2;
    return bytes;
}

bool download(SerialPort &port, const MessageTable &messages)
{
    NoProgress progress;
    SteadyPause pause;
    const DownloadResult result =
        runDownload(requestFor(messages, Sent, "\r\n", 1, 2), port, pause, progress);
    if (result.outcome != DownloadOutcome::Completed)
        qWarning() << failureText(result);
    return result.outcome == DownloadOutcome::Completed;
}

} // namespace

// Downloads over the network into the virtual device program: straight into its TCP mode, and
// through ser2net serving its pseudo-terminal as an RFC 2217 port.
class NetworkDownloadTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rawTcpIntoDevice();
    void rfc2217ThroughSer2net();

private:
    QString startDevice(const QStringList &arguments);
    void checkReceived(int runs);

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_device;
    QProcess m_server;
};

void NetworkDownloadTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void NetworkDownloadTest::cleanup()
{
    for (QProcess *process : {&m_server, &m_device}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(5000);
        }
    }
}

// Starts the device program and returns the port name it prints for setup.ini.
QString NetworkDownloadTest::startDevice(const QStringList &arguments)
{
    const QString output = m_dir->filePath(QStringLiteral("device.txt"));
    m_device.setStandardOutputFile(output);
    m_device.start(QStringLiteral(NORVANE_DEVICE_PROGRAM),
                   arguments + QStringList{"--quiet", "--save", m_dir->filePath("received.txt")});
    const QRegularExpression portsLine(QStringLiteral("^\\[Ports\\],(\\S+)$"),
                                       QRegularExpression::MultilineOption);
    QString name;
    [[maybe_unused]] const bool started = QTest::qWaitFor(
        [&] { return !(name = portsLine.match(readFile(output)).captured(1)).isEmpty(); }, 10000);
    return name; // empty when it did not start
}

// Ends the device and checks that it got every byte of `runs` downloads and decoded them.
void NetworkDownloadTest::checkReceived(int runs)
{
    m_device.terminate();
    QVERIFY(m_device.waitForFinished(10000));
    QCOMPARE(m_device.exitCode(), 0);
    const QStringList lines =
        readFile(m_dir->filePath("device.txt")).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QString summary = QStringLiteral("summary: messages %1, bytes %2, skipped bytes 0,")
                                .arg(runs * Sent.size())
                                .arg(runs * bytesPerRun());
    QVERIFY2(lines.constLast().startsWith(summary), qPrintable(lines.constLast()));

    const MessageTable sent = testMessages();
    MessageTable received;
    QVERIFY(readMessageFile(m_dir->filePath("received.txt"), received));
    for (const int n : Sent)
        QCOMPARE(received[std::size_t(n)], fixedWidth(sent[std::size_t(n)], EntryLength));
}

void NetworkDownloadTest::rawTcpIntoDevice()
{
    const QString address = startDevice({"--tcp", "127.0.0.1:0"});
    QVERIFY2(address.startsWith("tcp://127.0.0.1:"), qPrintable(address));

    // One connection after another, as two downloads make them.
    const MessageTable messages = testMessages();
    for (int run = 0; run < 2; ++run) {
        const std::unique_ptr<SerialPort> port = makeSerialPort(address);
        QVERIFY(download(*port, messages));
        QVERIFY(!port->isOpen());
    }
    checkReceived(2);
}

void NetworkDownloadTest::rfc2217ThroughSer2net()
{
    const QString ser2net = QStandardPaths::findExecutable(
        QStringLiteral("ser2net"), {"/usr/sbin", "/usr/local/sbin", "/usr/bin", "/usr/local/bin"});
    if (ser2net.isEmpty())
        QSKIP("ser2net is not installed (scripts/install-deps test installs it)");

    const QString device = startDevice({});
    QVERIFY(device.startsWith("/dev/"));
    // The server opens the line at 1200 baud with 2 stop bits and RTS/CTS flow control: only
    // the settings sent over the connection make it 9600 8N1 without flow control. (A
    // pseudo-terminal always has 8 data bits and no parity, so those two prove nothing here.)
    const quint16 tcpPort = freeLocalPort();
    const QString config = m_dir->filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("%YAML 1.1\n---\n"
                              "connection: &display\n"
                              "    accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                              "    connector: serialdev,%2,1200e72,rtscts,local\n"
                              "    options:\n"
                              "      mdns: false\n")
                   .arg(tcpPort)
                   .arg(device)
                   .toLocal8Bit());
    file.close();
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(ser2net, {"-n", "-u", "-c", config, "-P", m_dir->filePath("ser2net.pid")});
    QVERIFY(m_server.waitForStarted(10000));
    const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(tcpPort);

    // The line as the server reports it, and as the device itself is set.
    {
        NetworkSerialPort port(address);
        QVERIFY(QTest::qWaitFor([&] { return port.open(); }, 10000));
        const TelnetCodec::ReportedLine line = port.reportedLine();
        QCOMPARE(line.baudRate.value_or(0), 9600u);
        QCOMPARE(line.dataSize.value_or(0), quint8(8));
        QCOMPARE(line.parity.value_or(0), quint8(1));
        QCOMPARE(line.stopSize.value_or(0), quint8(1));
        QCOMPARE(line.flowControl.value_or(0), quint8(1));

        const int fd = ::open(device.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        termios settings{};
        const int rc = ::tcgetattr(fd, &settings);
        ::close(fd);
        QCOMPARE(rc, 0);
        QCOMPARE(::cfgetospeed(&settings), speed_t(B9600));
        QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        port.close();
    }

    const MessageTable messages = testMessages();
    const std::unique_ptr<SerialPort> port = makeSerialPort(address);
    QVERIFY(download(*port, messages));
    checkReceived(1);
}

QTEST_GUILESS_MAIN(NetworkDownloadTest)
#include "network_download_test.moc"
