// SPDX-License-Identifier: MIT
#include "download_requests.h"
#include "free_local_port.h"
#include "network_address.h"
#include "network_serial_port.h"
#include "port_settings.h"
#include "serial_port_factory.h"
#include "settings_file.h"
#include "steady_pause.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

// A TCP server on 127.0.0.1 that takes one connection and runs a script on it, on a thread of
// its own, so the port under test can block as it does in a download.
class ScriptedServer
{
public:
    using Script = std::function<void(int fd, QByteArray &received)>;

    explicit ScriptedServer(const Script &script)
    {
        const test::LoopbackSocket listener = test::bindLoopback(1);
        m_fd = listener.fd;
        m_port = listener.port;
        m_thread = std::thread([this, script] {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 10000) != 1)
                return;
            const int connection = ::accept(m_fd, nullptr, nullptr);
            script(connection, m_received);
            ::close(connection);
        });
    }
    ~ScriptedServer()
    {
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_fd);
    }

    quint16 port() const { return m_port; }
    // What the connection brought, once the script has ended.
    QByteArray finish()
    {
        m_thread.join();
        return m_received;
    }

    // Reads until `enough` says so, the client closes or 10 s have passed.
    static void readUntil(int fd, QByteArray &received, const std::function<bool()> &enough)
    {
        char buffer[512];
        while (!enough()) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 10000) != 1)
                return;
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count <= 0)
                return;
            received.append(buffer, count);
        }
    }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QByteArray m_received;
    std::thread m_thread;
};

void sendAll(int fd, const QByteArray &bytes)
{
    [[maybe_unused]] const ssize_t sent = ::send(fd, bytes.constData(), size_t(bytes.size()), 0);
}

// A name lookup that never answers until the test lets it go.
struct StuckLookup
{
    std::mutex mutex;
    std::condition_variable released;
    bool free = false;

    void release()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        free = true;
        released.notify_all();
    }
};

// The server's answers that agree to everything the port asks and set the line as asked, with
// or without agreeing to binary transmission.
QByteArray rfc2217Answers(bool binary)
{
    const QByteArray yes = binary ? QByteArray("\xff\xfd\x00\xff\xfb\x00\xff\xfd\x2c", 9)
                                  : QByteArray("\xff\xfd\x2c", 3);
    const QByteArray set("\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0"
                         "\xff\xfa\x2c\x66\x08\xff\xf0\xff\xfa\x2c\x67\x01\xff\xf0"
                         "\xff\xfa\x2c\x68\x01\xff\xf0\xff\xfa\x2c\x69\x01\xff\xf0",
                         38);
    return yes + set;
}

enum class Server { None, ClosesAfter50Bytes, RefusesComPort, Silent, NoBinary, StuckLookup };

} // namespace

Q_DECLARE_METATYPE(Server)

class NetworkPortTest : public QObject
{
    Q_OBJECT

private slots:
    void parseAddress_data();
    void parseAddress();
    void failures_data();
    void failures();
    void floodingServer_data();
    void floodingServer();
    void lookupGivesWay();
};

void NetworkPortTest::parseAddress_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("network");   // isNetworkAddress()
    QTest::addColumn<QString>("parsed"); // "raw|rfc2217 host port", empty: invalid

    QTest::newRow("raw TCP") << "tcp://127.0.0.1:4001" << true << "raw 127.0.0.1 4001";
    QTest::newRow("RFC 2217, name")
        << "rfc2217://displays.local:2217" << true << "rfc2217 displays.local 2217";
    QTest::newRow("scheme in capitals") << "RFC2217://Box:7" << true << "rfc2217 box 7";
    QTest::newRow("IPv6 literal") << "tcp://[::1]:4001" << true << "raw ::1 4001";
    QTest::newRow("no port") << "tcp://box" << true << "";
    QTest::newRow("port 0") << "tcp://box:0" << true << "";
    QTest::newRow("port too big") << "tcp://box:65536" << true << "";
    QTest::newRow("no host") << "rfc2217://:2217" << true << "";
    QTest::newRow("path") << "tcp://box:4001/ttyS0" << true << "";
    QTest::newRow("local device") << "/dev/ttyUSB0" << false << "";
    QTest::newRow("other scheme") << "telnet://box:23" << false << "";
}

void NetworkPortTest::parseAddress()
{
    QFETCH(QString, device);
    QFETCH(bool, network);
    QFETCH(QString, parsed);

    QCOMPARE(isNetworkAddress(device), network);
    const std::optional<NetworkAddress> address = parseNetworkAddress(device);
    QString got;
    if (address)
        got = QStringLiteral("%1 %2 %3")
                  .arg(address->protocol == NetworkAddress::Protocol::Rfc2217 ? "rfc2217" : "raw",
                       QString::fromLatin1(address->host))
                  .arg(address->port);
    QCOMPARE(got, parsed);
}

void NetworkPortTest::failures_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<Server>("server");
    QTest::addColumn<QString>("error"); // a pattern for errorString()

    QTest::newRow("nothing listens") << "tcp" << Server::None << "connection refused";
    QTest::newRow("server closes mid-run")
        << "tcp" << Server::ClosesAfter50Bytes
        << "^(The server closed the connection|The connection was lost: .+)\\.$";
    QTest::newRow("server closes mid-run, RFC 2217")
        << "rfc2217" << Server::ClosesAfter50Bytes
        << "^(The server closed the connection|The connection was lost: .+)\\.$";
    QTest::newRow("COM port control refused")
        << "rfc2217" << Server::RefusesComPort << "^The server refuses COM port control";
    QTest::newRow("server never answers")
        << "rfc2217" << Server::Silent
        << "^The server did not finish setting up the line in time: the server answered nothing";
    QTest::newRow("binary transmission never agreed to")
        << "rfc2217" << Server::NoBinary << "never agreed to binary transmission";
    QTest::newRow("name lookup never answers")
        << "tcp" << Server::StuckLookup << "^Looking up the host name took too long";
}

void NetworkPortTest::failures()
{
    QFETCH(QString, scheme);
    QFETCH(Server, server);
    QFETCH(QString, error);

    const auto answerRfc2217 = [](int fd, QByteArray &received, bool binary = true) {
        ScriptedServer::readUntil(fd, received, [&] { return received.size() >= 9; });
        sendAll(fd, rfc2217Answers(binary));
    };
    ScriptedServer::Script script = [](int fd, QByteArray &received) {
        ScriptedServer::readUntil(fd, received, [] { return false; });
    };
    if (server == Server::ClosesAfter50Bytes) {
        script = [=](int fd, QByteArray &received) {
            if (scheme == QLatin1String("rfc2217"))
                answerRfc2217(fd, received);
            const int start = int(received.size());
            ScriptedServer::readUntil(fd, received, [&] { return received.size() >= start + 50; });
        };
    } else if (server == Server::NoBinary) {
        script = [=](int fd, QByteArray &received) {
            answerRfc2217(fd, received, false);
            ScriptedServer::readUntil(fd, received, [] { return false; });
        };
    } else if (server == Server::RefusesComPort) {
        script = [](int fd, QByteArray &received) {
            ScriptedServer::readUntil(fd, received, [&] { return received.size() >= 9; });
            sendAll(fd, QByteArray("\xff\xfd\x00\xff\xfe\x2c", 6));
            ScriptedServer::readUntil(fd, received, [] { return false; });
        };
    }
    std::optional<ScriptedServer> listening;
    if (server != Server::None && server != Server::StuckLookup)
        listening.emplace(script);
    const QString address = QStringLiteral("%1://127.0.0.1:%2")
                                .arg(scheme)
                                .arg(listening ? listening->port() : freeLocalPort());

    // The real port from the factory, or one with a short time limit and a lookup that hangs.
    auto stuck = std::make_shared<StuckLookup>();
    NetworkPortLimits limits;
    limits.open = std::chrono::milliseconds(500);
    std::unique_ptr<SerialPort> port;
    if (server == Server::Silent || server == Server::NoBinary || server == Server::StuckLookup) {
        HostResolver resolver = resolveHost;
        if (server == Server::StuckLookup)
            resolver = [stuck](const QByteArray &host, quint16 port) {
                std::unique_lock<std::mutex> lock(stuck->mutex);
                stuck->released.wait(lock, [&] { return stuck->free; });
                return resolveHost(host, port);
            };
        port = std::make_unique<NetworkSerialPort>(address, limits, resolver);
    } else {
        port = makeSerialPort(address);
    }

    NoProgress progress;
    SteadyPause pause;
    QElapsedTimer timer;
    timer.start();
    const DownloadResult result = runDownload(
        requestFor(MessageTable(), {0, 1, 2, 3, 4, 5}, "\r", 1, 0), *port, pause, progress);
    QCOMPARE(result.outcome, DownloadOutcome::Failed);
    // Much less than the 5 s any step may take, and far from a hang.
    QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    stuck->release();

    QVERIFY2(port->errorString().contains(
                 QRegularExpression(error, QRegularExpression::CaseInsensitiveOption)),
             qPrintable(port->errorString()));
    QVERIFY(failureText(result).startsWith("Error while sending data to port: " + address));
    QVERIFY(!port->isOpen());
}

void NetworkPortTest::floodingServer_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::newRow("raw TCP") << "tcp";
    QTest::newRow("RFC 2217") << "rfc2217";
}

// A server that sends as fast as it can for the whole download (data, or Telnet commands) gets
// a bounded slice read per character, and the download completes and closes in time.
void NetworkPortTest::floodingServer()
{
    QFETCH(QString, scheme);
    const bool telnet = scheme == QLatin1String("rfc2217");
    std::atomic<qint64> pushed{0};
    ScriptedServer server([&pushed, telnet](int fd, QByteArray &received) {
        if (telnet) {
            ScriptedServer::readUntil(fd, received, [&] { return received.size() >= 9; });
            sendAll(fd, rfc2217Answers(true));
            received.clear();
        }
        // Small buffers on this side, so what it managed to send is about what was read.
        const int buffer = 16 * 1024;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
        // Data, or Telnet's IAC NOP.
        const QByteArray flood =
            telnet ? QByteArray("\xff\xf1").repeated(32 * 1024) : QByteArray(64 * 1024, 'x');
        // It goes on after the port has closed its side, until the connection is gone.
        const QDeadlineTimer limit(20000);
        char in[512];
        bool reading = true;
        while (!limit.hasExpired()) {
            pollfd ready{fd, short(reading ? POLLIN | POLLOUT : POLLOUT), 0};
            if (::poll(&ready, 1, 100) < 0 || (ready.revents & POLLERR) != 0)
                return;
            if ((ready.revents & POLLIN) != 0) {
                const ssize_t count = ::recv(fd, in, sizeof in, MSG_DONTWAIT);
                reading = count != 0;
                if (count > 0)
                    received.append(in, count);
            }
            if ((ready.revents & POLLOUT) != 0) {
                const ssize_t count = ::send(fd, flood.constData(), size_t(flood.size()),
                                             MSG_DONTWAIT | MSG_NOSIGNAL);
                if (count < 0 && errno != EAGAIN)
                    return;
                pushed += std::max<ssize_t>(count, 0);
            }
        }
    });
    const std::unique_ptr<SerialPort> port =
        makeSerialPort(QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.port()));

    const QList<int> numbers{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    NoProgress progress;
    SteadyPause pause;
    QElapsedTimer timer;
    timer.start();
    const DownloadResult result =
        runDownload(requestFor(MessageTable(), numbers, "\r", 1, 0), *port, pause, progress);
    QCOMPARE(result.outcome, DownloadOutcome::Completed);
    // The closing kept its time limit although the server never stopped sending.
    QCOMPARE_LT(timer.elapsed(), 10000);
    const QByteArray received = server.finish();
    if (!telnet) {
        QByteArray sent;
        for (const int n : numbers)
            sent += numberRecord(n, "\r") + textRecord(QByteArray(), "\r");
        QCOMPARE(received, sent);
    }
    // Per character at most a slice, and a little for the buffers on the way and the closing.
    QCOMPARE_LE(pushed.load(),
                result.charactersWritten * NetworkSerialPort::InputSlice + 256 * 1024);
}

// A name lookup that does not answer is given up as soon as the interruption asks for it.
void NetworkPortTest::lookupGivesWay()
{
    auto stuck = std::make_shared<StuckLookup>();
    NetworkSerialPort port(QStringLiteral("tcp://stuck.example:4001"), NetworkPortLimits(),
                           [stuck](const QByteArray &, quint16) {
                               std::unique_lock<std::mutex> lock(stuck->mutex);
                               stuck->released.wait(lock, [&] { return stuck->free; });
                               return HostAddresses();
                           });
    int asked = 0;
    port.setWaitInterruption([&asked] { return ++asked > 5; });
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.open());
    stuck->release();
    QCOMPARE(asked, 6);
    // Far from the 5 s the lookup may otherwise take.
    QCOMPARE_LT(timer.elapsed(), 4000);
    QVERIFY2(port.errorString().contains("given up"), qPrintable(port.errorString()));
}

QTEST_GUILESS_MAIN(NetworkPortTest)
#include "network_port_test.moc"
