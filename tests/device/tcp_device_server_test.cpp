// SPDX-License-Identifier: MIT
#include "tcp_device_server.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTest>
#include <QUrl>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace norvane::test {

namespace {

// The device's server on a thread of its own, serving until it is stopped as a signal stops it.
class RunningServer
{
public:
    // `quiet`: the messages are not shown.
    explicit RunningServer(const QString &hostPort, bool quiet = false)
        : m_session(optionsFor(quiet), [this](const QString &line) { print(line); })
    {
        if (!m_server.listen(hostPort) || ::pipe(m_stop) != 0)
            qFatal("cannot listen on %s", qPrintable(hostPort));
        m_thread = std::thread([this] {
            m_server.run(m_session, m_stop[0], std::nullopt,
                         [this](const QString &line) { print(line); });
        });
    }
    ~RunningServer()
    {
        stop();
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    RunningServer(const RunningServer &) = delete;
    RunningServer &operator=(const RunningServer &) = delete;

    const DeviceSession &session() const { return m_session; }

    // A client connected to the address the device tells; -1 when it cannot connect.
    int connectClient() const
    {
        const QUrl url(m_server.address());
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(url.port()));
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::inet_pton(AF_INET, url.host().toLatin1().constData(), &address.sin_addr) != 1 ||
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    bool printed(const QString &line)
    {
        const QMutexLocker lock(&m_mutex);
        return m_lines.contains(line);
    }
    // Stops it as SIGTERM does and waits until it has ended.
    void stop()
    {
        if (!m_thread.joinable())
            return;
        [[maybe_unused]] const ssize_t written = ::write(m_stop[1], "x", 1);
        m_thread.join();
    }

private:
    static DeviceOptions optionsFor(bool quiet)
    {
        DeviceOptions options;
        options.quiet = quiet;
        return options;
    }
    void print(const QString &line)
    {
        const QMutexLocker lock(&m_mutex);
        m_lines.append(line);
    }

    TcpDeviceServer m_server;
    DeviceSession m_session;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    QMutex m_mutex;
    QStringList m_lines;
};

void sendAll(int fd, const QByteArray &bytes)
{
    [[maybe_unused]] const ssize_t sent = ::send(fd, bytes.constData(), size_t(bytes.size()), 0);
}

QByteArray pairOf(int number, char fill)
{
    return 'N' + QByteArray::number(number) + "\rM" + QByteArray(32, fill) + '\r';
}

} // namespace

// The device's TCP port as a device server offers it: a silent client does not keep others
// waiting, the device ends at once when told to while a client keeps sending, and the address it
// tells for a wildcard is one a client can use.
class TcpDeviceServerTest : public QObject
{
    Q_OBJECT

private slots:
    void newConnectionReplacesTheCurrent()
    {
        RunningServer device(QStringLiteral("127.0.0.1:0"));

        const int silent = device.connectClient();
        QVERIFY(silent >= 0);
        const int sender = device.connectClient();
        QVERIFY(sender >= 0);
        sendAll(sender, pairOf(5, 'b'));
        ::close(sender);
        QVERIFY(QTest::qWaitFor([&] { return device.printed("005 |bbbbbbbbbbbbbbbb|"); }, 10000));
        device.stop();
        ::close(silent);
        QVERIFY(device.printed("warning: a new connection replaces the one before"));
        QCOMPARE(device.session().received()[5], QByteArray(32, 'b'));
    }

    void endsAtOnceWhileAClientKeepsSending()
    {
        RunningServer device(QStringLiteral("127.0.0.1:0"), true);
        const int client = device.connectClient();
        QVERIFY(client >= 0);
        sendAll(client, pairOf(7, 'c'));
        // Pairs without end: decoding and showing them takes longer than sending them.
        std::thread flood([client] {
            const QByteArray pairs = pairOf(8, 'd').repeated(100);
            while (::send(client, pairs.constData(), size_t(pairs.size()), MSG_NOSIGNAL) > 0) {
            }
        });
        QTest::qWait(200);
        QElapsedTimer timer;
        timer.start();
        device.stop();
        const qint64 took = timer.elapsed();
        ::shutdown(client, SHUT_RDWR);
        flood.join();
        ::close(client);
        // Within the second asked for, not once the client stops.
        QCOMPARE_LT(took, 1000);
        QCOMPARE(device.session().received()[7], QByteArray(32, 'c'));
    }
};

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::TcpDeviceServerTest)
#include "tcp_device_server_test.moc"
