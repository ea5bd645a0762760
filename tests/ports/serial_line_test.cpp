// SPDX-License-Identifier: MIT
// The real serial port, driven through a download into a pseudo-terminal that the test reads.

#include "download_requests.h"
#include "fake_download.h"
#include "pseudo_terminal.h"
#include "qt_serial_port.h"
#include "steady_pause.h"

#include <QSerialPort>
#include <QTest>

#include <QFile>

#include <atomic>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;
using namespace std::chrono_literals;

namespace {

using Numbers = QList<int>;

// The device's end of the line: a thread collects what arrives on the master side and can pull
// the line away after some bytes, the way an unplugged USB adapter does.
struct Line
{
    Line()
    {
        QVERIFY2(pty.open(), qPrintable(pty.errorString()));
        path = pty.slavePath();
    }
    ~Line()
    {
        stop = true;
        if (reader.joinable())
            reader.join();
    }

    void startReading(qsizetype hangUpAfter = -1, int delayMs = 0)
    {
        reader = std::thread([this, hangUpAfter, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            char buffer[4096];
            while (!stop) {
                pollfd p{pty.masterFd(), POLLIN, 0};
                const ssize_t got = ::poll(&p, 1, 20) > 0 ? ::read(p.fd, buffer, sizeof buffer) : 0;
                std::lock_guard<std::mutex> lock(mutex);
                if (got > 0)
                    bytes.append(buffer, got);
                if (hangUpAfter >= 0 && bytes.size() >= hangUpAfter)
                    return pty.close();
            }
        });
    }

    // What arrived once `count` bytes are there or `timeout` has passed.
    QByteArray waitFor(qsizetype count, std::chrono::milliseconds timeout)
    {
        QDeadlineTimer deadline(timeout);
        for (;; QThread::msleep(5)) {
            std::lock_guard<std::mutex> lock(mutex);
            if (bytes.size() >= count || deadline.hasExpired())
                return bytes;
        }
    }
    PortDevices devices() const { return PortDevices{path, path, path, path}; }

    PseudoTerminal pty;
    QString path;
    std::thread reader;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    QByteArray bytes;
};

struct Rig
{
    explicit Rig(const QString &device,
                 std::chrono::milliseconds writeTimeout = QtSerialPort::DefaultWriteTimeout)
        : port(PortDevices{device, device, device, device}, writeTimeout)
    {
    }

    EventLog log;
    DownloadRequest request = requestFor(MessageTable(), {}, "\r", 0, 0);
    FakeProgress progress{log};
    QtSerialPort port;
    SteadyPause pause;

    DownloadResult run() { return runDownload(request, port, pause, progress); }
};

} // namespace

class SerialLineTest : public QObject
{
    Q_OBJECT

private slots:
    void lineSettings();
    void download_data();
    void download();
    void fullTransmitBufferWaits();
    void failures_data();
    void failures();
    void permissionDenied();
};

void SerialLineTest::lineSettings()
{
    Line line;
    // Start from settings that differ in every respect the device depends on.
    termios other{};
    QCOMPARE(tcgetattr(line.pty.masterFd(), &other), 0);
    cfsetispeed(&other, B38400);
    cfsetospeed(&other, B38400);
    other.c_cflag = (other.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    other.c_iflag |= IXON | IXOFF;
    other.c_oflag |= OPOST;
    QCOMPARE(tcsetattr(line.pty.masterFd(), TCSANOW, &other), 0);

    QtSerialPort port(line.devices());
    port.choosePort(1);
    QVERIFY(port.open());

    // On Linux a master reports the terminal settings of its slave: 9600 8N1, no flow control,
    // and bytes go out as they are (no CR/LF translation).
    termios t{};
    QCOMPARE(tcgetattr(line.pty.masterFd(), &t), 0);
    QCOMPARE(cfgetispeed(&t), speed_t(B9600));
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(t.c_oflag & OPOST, tcflag_t(0));

    // Closing without a drain: the bytes still arrive.
    line.startReading();
    for (char c : QByteArray("N0\r"))
        QVERIFY(port.write(c));
    port.close();
    QVERIFY(!port.isOpen());
    QCOMPARE(line.waitFor(3, 2s), QByteArray("N0\r"));
}

void SerialLineTest::download_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<Numbers>("selected");
    QTest::addColumn<QByteArray>("terminator");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");

    QTest::newRow("send all, no pauses") << true << Numbers{} << QByteArray("\r") << 0 << 0;
    QTest::newRow("send all, no pauses, CR LF")
        << true << Numbers{} << QByteArray("\r\n") << 0 << 0;
    QTest::newRow("selection, short pauses")
        << false << Numbers{0, 7, 999} << QByteArray("\n") << 1 << 3;
}

void SerialLineTest::download()
{
    QFETCH(bool, all);
    QFETCH(Numbers, selected);
    QFETCH(QByteArray, terminator);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);

    Line line;
    Rig rig(line.path);
    MessageTable messages;
    QByteArray expected;
    for (int j = 0; j < MessageCount; ++j) {
        messages[j] = j == 7 ? "HELLO" + QByteArray(27, ' ')
                             : QByteArray::number(j * 7919) + (j % 3 ? " \xe9,\"" : "");
        if (all || selected.contains(j))
            expected += numberRecord(j, terminator) + textRecord(messages[j], terminator);
    }
    rig.request =
        requestFor(messages, all ? Numbers{} : selected, terminator, charDelay, recordDelay);
    rig.request.portNumber = 2;

    line.startReading();
    const DownloadResult result = rig.run();
    QVERIFY2(result.outcome == DownloadOutcome::Completed, qPrintable(failureText(result)));
    QVERIFY(!rig.port.isOpen());

    // Everything written has left before the port closed: it is all there, nothing more.
    line.waitFor(expected.size(), 5s);
    QCOMPARE(line.waitFor(expected.size() + 1, 100ms), expected);
}

void SerialLineTest::fullTransmitBufferWaits()
{
    // With no pauses the writer can outrun the line; a full buffer is a wait, not a failure.
    Line line;
    QtSerialPort port(line.devices());
    QVERIFY(port.open());
    line.startReading(-1, 300);
    for (int i = 0; i < 100000; ++i)
        QVERIFY2(port.write('x'), qPrintable(QStringLiteral("byte %1").arg(i)));
    QVERIFY(port.drain());
    port.close();
    QCOMPARE(line.waitFor(100000, 5s).size(), 100000);
}

void SerialLineTest::failures_data()
{
    QTest::addColumn<QString>("device"); // "": the pseudo-terminal
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("named"); // "": the pseudo-terminal
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("unplugAfter"); // bytes; -1: never
    QTest::addColumn<bool>("stalled");    // the line takes nothing more from the start
    QTest::addColumn<QString>("reason");  // words the second line of the message holds

    QTest::newRow("missing device") << "/nonexistent/ttyUSB9" << 0 << "/nonexistent/ttyUSB9"
                                    << false << -1 << false << "does not exist";
    QTest::newRow("not a terminal")
        << "/dev/null" << 3 << "/dev/null" << false << -1 << false << "not a serial port";
    QTest::newRow("no port chosen")
        << "/dev/null" << -1 << "COM0" << false << -1 << false << "No port";
    QTest::newRow("busy") << "" << 1 << "" << true << -1 << false << "in use by another program";
    QTest::newRow("unplugged mid-run") << "" << 0 << "" << false << 500 << false << "hung up";
    QTest::newRow("stalled line") << "" << 0 << "" << false << -1 << true << "timed out";
}

void SerialLineTest::failures()
{
    QFETCH(QString, device);
    QFETCH(int, chosen);
    QFETCH(QString, named);
    QFETCH(bool, busy);
    QFETCH(int, unplugAfter);
    QFETCH(bool, stalled);
    QFETCH(QString, reason);

    Line line;
    QSerialPort holder(device.isEmpty() ? line.path : device); // another program on the port
    QVERIFY(!busy || holder.open(QIODevice::WriteOnly));
    if (stalled) {
        // Nobody reads the line: fill what the terminal can hold.
        const int fd = ::open(QFile::encodeName(line.path).constData(),
                              O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const QByteArray chunk(4096, 'x');
        while (::write(fd, chunk.constData(), size_t(chunk.size())) > 0) {
        }
        ::close(fd);
    }
    Rig rig(device.isEmpty() ? line.path : device,
            std::chrono::milliseconds(stalled ? 300 : 10000));
    rig.request.portNumber = qint16(chosen + 1);
    if (unplugAfter >= 0)
        line.startReading(unplugAfter);
    const DownloadResult result = rig.run();
    QCOMPARE(result.outcome, DownloadOutcome::Failed);

    // The user is told which device and why, and the port is released.
    const QStringList message = failureText(result).split(QLatin1Char('\n'));
    QCOMPARE(message.size(), 2);
    QCOMPARE(message[0], QStringLiteral("Error while sending data to port: ") +
                             (named.isEmpty() ? line.path : named));
    QVERIFY2(message[1].contains(reason), qPrintable(message[1]));
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.progress.numbers.size() < MessageCount);
}

// A device the user may not write to. As root the port is opened by a child that gives up root
// first; otherwise the device is made unwritable.
void SerialLineTest::permissionDenied()
{
    Line line;
    const bool root = ::geteuid() == 0;
    if (!root)
        QCOMPARE(::chmod(QFile::encodeName(line.path).constData(), 0), 0);
    int result[2];
    QCOMPARE(::pipe(result), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(result[0]);
        const uid_t nobody = 65534;
        if (root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(2);
        QtSerialPort port(line.devices());
        const QByteArray reason = port.open() ? QByteArray("opened") : port.errorString().toUtf8();
        const bool told = ::write(result[1], reason.constData(), size_t(reason.size())) > 0;
        ::_exit(told ? 0 : 3);
    }
    ::close(result[1]);
    QByteArray reason;
    char buffer[512];
    for (ssize_t got; (got = ::read(result[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, got);
    ::close(result[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY2(reason.contains("Permission denied") && reason.contains("dialout"),
             reason.constData());
}

QTEST_GUILESS_MAIN(SerialLineTest)
#include "serial_line_test.moc"
