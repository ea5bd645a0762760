// SPDX-License-Identifier: MIT
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
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <thread>
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

// ser2net looks up the address it is to listen on as one to reach other machines at, and on a
// machine whose only address is the loopback it finds none, not even 127.0.0.1. A Unix socket
// needs no lookup: ser2net listens on one, and this relays 127.0.0.1 to it, one connection at a
// time, byte for byte both ways, each side's end passed on to the other.
class LoopbackRelay
{
public:
    explicit LoopbackRelay(const QString &socketPath) : m_path(QFile::encodeName(socketPath))
    {
        const test::LoopbackSocket listener = test::bindLoopback(4);
        m_fd = listener.fd;
        m_port = listener.port;
        if (::pipe2(m_stop, O_CLOEXEC) != 0 ||
            m_path.size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
            qFatal("cannot relay 127.0.0.1 to %s", m_path.constData());
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackRelay()
    {
        [[maybe_unused]] const ssize_t written = ::write(m_stop[1], "x", 1);
        m_thread.join();
        for (const int fd : {m_fd, m_stop[0], m_stop[1]})
            ::close(fd);
    }
    LoopbackRelay(const LoopbackRelay &) = delete;
    LoopbackRelay &operator=(const LoopbackRelay &) = delete;

    quint16 port() const { return m_port; }

private:
    bool stopped() const
    {
        pollfd stop{m_stop[0], POLLIN, 0};
        return ::poll(&stop, 1, 0) != 0;
    }

    void serve()
    {
        while (!stopped()) {
            pollfd ready[2] = {{m_fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(ready, 2, -1) <= 0 || ready[1].revents != 0)
                return;
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::copy(m_path.cbegin(), m_path.cend(), address.sun_path);
            if (client >= 0 && server >= 0 &&
                ::connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
                relay(client, server);
            ::close(client);
            ::close(server);
        }
    }

    void relay(int client, int server)
    {
        bool open[2] = {true, true}; // reading from client, from server
        const int from[2] = {client, server};
        const int to[2] = {server, client};
        char buffer[4096];
        while (open[0] || open[1]) {
            pollfd ready[3] = {{open[0] ? client : -1, POLLIN, 0},
                               {open[1] ? server : -1, POLLIN, 0},
                               {m_stop[0], POLLIN, 0}};
            if (::poll(ready, 3, -1) <= 0 || ready[2].revents != 0)
                return;
            for (int side = 0; side < 2; ++side) {
                if (ready[side].revents == 0)
                    continue;
                const ssize_t count = ::read(from[side], buffer, sizeof buffer);
                if (count <= 0) {
                    open[side] = false;
                    ::shutdown(to[side], SHUT_WR);
                    continue;
                }
                for (ssize_t done = 0; done < count;) {
                    const ssize_t written = ::write(to[side], buffer + done, size_t(count - done));
                    if (written <= 0)
                        return;
                    done += written;
                }
            }
        }
    }

    QByteArray m_path;
    int m_fd = -1;
    int m_stop[2] = {-1, -1};
    quint16 m_port = 0;
    std::thread m_thread;
};

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
                   arguments + QStringList{"--save", m_dir->filePath("received.txt")});
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
    // A download ends once the server has taken every byte, not once the device has: a server
    // under load may still be writing the last message to the line. The device shows each
    // message it decoded in two rows, the first one numbered.
    const QRegularExpression numberedRow(QStringLiteral("^\\d{3} \\|"),
                                         QRegularExpression::MultilineOption);
    [[maybe_unused]] const bool shown = QTest::qWaitFor(
        [&] {
            return readFile(m_dir->filePath("device.txt")).count(numberedRow) >= runs * Sent.size();
        },
        10000);
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
    const QTemporaryDir socketDir(QStringLiteral("/tmp/norvane-ser2net-XXXXXX"));
    QVERIFY(socketDir.isValid());
    const QString socket = socketDir.filePath(QStringLiteral("socket"));
    const LoopbackRelay relay(socket);
    const QString config = m_dir->filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("%YAML 1.1\n---\n"
                              "connection: &display\n"
                              "    accepter: telnet(rfc2217),unix,%1\n"
                              "    connector: serialdev,%2,1200e72,rtscts,local\n"
                              "    options:\n"
                              "      mdns: false\n")
                   .arg(socket, device)
                   .toLocal8Bit());
    file.close();
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.start(ser2net, {"-n", "-u", "-c", config, "-P", m_dir->filePath("ser2net.pid")});
    QVERIFY(m_server.waitForStarted(10000));
    const QString address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(relay.port());

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
