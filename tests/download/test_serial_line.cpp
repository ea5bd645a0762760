// The real serial port, driven through a download into a pseudo-terminal that the test reads.

#include "download_run.h"
#include "event_log.h"
#include "fake_dialogs.h"
#include "fake_download.h"
#include "qt_serial_port.h"
#include "steady_pause.h"

#include <QSerialPort>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

using Numbers = QList<int>;

// A pseudo-terminal whose slave stands in for the device's serial port. A reader thread
// collects whatever arrives on the master; it can also pull the line away after some bytes,
// the way an unplugged USB adapter does.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
        // Held open so that the master never sees the line hang up between two openings.
        m_slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
    }

    ~PseudoTerminal()
    {
        stopReading();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // Starts collecting after `delayMs`; closes the master (and the slave held here) once
    // `hangUpAfter` bytes have arrived, if it is 0 or more.
    void startReading(qsizetype hangUpAfter = -1, int delayMs = 0)
    {
        m_stop = false;
        m_thread = std::thread([this, hangUpAfter, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            readLoop(hangUpAfter);
        });
    }

    void stopReading()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    // Waits until `count` bytes have arrived or `timeoutMs` has passed; returns what arrived.
    QByteArray waitFor(qsizetype count, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (received().size() < count && !deadline.hasExpired())
            QThread::msleep(5);
        return received();
    }

    QByteArray received() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    void readLoop(qsizetype hangUpAfter)
    {
        char buffer[4096];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            const ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                continue;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.append(buffer, got);
            if (hangUpAfter >= 0 && m_received.size() >= hangUpAfter) {
                ::close(m_slave);
                ::close(m_master);
                m_slave = m_master = -1;
                return;
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
};

struct Rig
{
    explicit Rig(const PortDevices &devices) : port(devices) {}

    EventLog log;
    MessageTable messages;
    FakeControls controls{log};
    FakeProgress progress{log};
    QtSerialPort port;
    SteadyPause pause;
    FakeMessageBox messageBox;

    bool run(DownloadScope scope, qint16 charDelay, qint16 recordDelay)
    {
        const DownloadData data{messages, charDelay, recordDelay};
        return RunDownload(scope, data, controls, progress, port, pause, messageBox);
    }
};

PortDevices allOn(const QString &device)
{
    return {device, device, device, device};
}

termios settingsOf(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        qFatal("tcgetattr failed");
    return t;
}

} // namespace

class TestSerialLine : public QObject
{
    Q_OBJECT

private slots:
    void lineSettings();
    void download_data();
    void download();
    void fullTransmitBufferWaits();
    void lineVanishesMidRun();
    void portThatDoesNotOpen_data();
    void portThatDoesNotOpen();
};

void TestSerialLine::lineSettings()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());

    // Start from settings that differ in every respect the device depends on.
    termios other = settingsOf(pty.master());
    cfsetispeed(&other, B38400);
    cfsetospeed(&other, B38400);
    other.c_cflag = (other.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    other.c_iflag |= IXON | IXOFF;
    QCOMPARE(tcsetattr(pty.master(), TCSANOW, &other), 0);

    QtSerialPort port(allOn(pty.slavePath()));
    port.setCommPort(1);
    QVERIFY(port.open());
    QVERIFY(port.isOpen());

    // On Linux a master reports the terminal settings of its slave.
    const termios t = settingsOf(pty.master());
    QCOMPARE(cfgetispeed(&t), speed_t(B9600));
    QCOMPARE(cfgetospeed(&t), speed_t(B9600));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(t.c_cflag & PARENB));
    QVERIFY(!(t.c_cflag & CSTOPB));
    QVERIFY(!(t.c_cflag & CRTSCTS));
    QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
    // Bytes go out as they are: no CR/LF translation on the way.
    QVERIFY(!(t.c_oflag & OPOST));

    // Closing without a drain: the bytes still arrive.
    pty.startReading();
    for (char c : QByteArray("N0\r"))
        QVERIFY(port.write(c));
    port.close();
    QVERIFY(!port.isOpen());
    QCOMPARE(pty.waitFor(3, 2000), QByteArray("N0\r"));
}

void TestSerialLine::download_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<Numbers>("selected");
    QTest::addColumn<int>("cr");
    QTest::addColumn<int>("lf");
    QTest::addColumn<int>("charDelay");
    QTest::addColumn<int>("recordDelay");

    QTest::newRow("send all, no pauses") << true << Numbers{} << 1 << 0 << 0 << 0;
    QTest::newRow("send all, no pauses, CR LF") << true << Numbers{} << 1 << 1 << 0 << 0;
    QTest::newRow("selection, short pauses") << false << Numbers{0, 7, 999} << 0 << 1 << 1 << 3;
}

void TestSerialLine::download()
{
    QFETCH(bool, all);
    QFETCH(Numbers, selected);
    QFETCH(int, cr);
    QFETCH(int, lf);
    QFETCH(int, charDelay);
    QFETCH(int, recordDelay);

    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    Rig rig(allOn(pty.slavePath()));
    rig.controls.cr = cr;
    rig.controls.lf = lf;
    rig.controls.chosenOption = 1;
    for (int j : selected)
        rig.controls.selected.insert(j);
    for (int j = 0; j < MessageCount; ++j)
        rig.messages[j] = QByteArray::number(j * 7919) + (j % 3 ? " \xe9,\"" : "");
    rig.messages[7] = "HELLO" + QByteArray(27, ' ');

    QByteArray expected;
    const QByteArray terminator = RecordTerminator(cr, lf);
    for (int j = 0; j < MessageCount; ++j)
        if (all || selected.contains(j))
            expected += NumberRecord(j, terminator) + TextRecord(rig.messages[j], terminator);

    pty.startReading();
    QVERIFY(rig.run(all ? DownloadScope::AllMessages : DownloadScope::SelectedMessages,
                    qint16(charDelay), qint16(recordDelay)));
    QVERIFY(rig.messageBox.texts.isEmpty());
    QVERIFY(!rig.port.isOpen());

    // Everything written has left before the port closed: it is all there, nothing more.
    const QByteArray received = pty.waitFor(expected.size(), 5000);
    QThread::msleep(50);
    QCOMPARE(received.size(), expected.size());
    QCOMPARE(pty.received(), expected);
}

void TestSerialLine::fullTransmitBufferWaits()
{
    // With no pauses the writer can outrun the line; a full buffer is a wait, not a failure.
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    QtSerialPort port(allOn(pty.slavePath()));
    QVERIFY(port.open());
    pty.startReading(-1, 300);
    const QByteArray text(100000, 'x');
    for (qsizetype i = 0; i < text.size(); ++i)
        QVERIFY2(port.write(text[i]), qPrintable(QStringLiteral("byte %1").arg(i)));
    QVERIFY(port.drain());
    port.close();
    QCOMPARE(pty.waitFor(text.size(), 5000).size(), text.size());
}

void TestSerialLine::lineVanishesMidRun()
{
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    Rig rig(allOn(pty.slavePath()));
    pty.startReading(500);

    QVERIFY(!rig.run(DownloadScope::AllMessages, 0, 0));
    const QStringList expected{QStringLiteral("Error while sending data to port: ") +
                               pty.slavePath()};
    QCOMPARE(rig.messageBox.texts, expected);
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.controls.mainVisible);
    QVERIFY(!rig.progress.visible);
    QVERIFY(rig.progress.value < 999.0f);
}

void TestSerialLine::portThatDoesNotOpen_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("named");

    QTest::newRow("missing device") << "/nonexistent/ttyUSB9" << 0 << "/nonexistent/ttyUSB9";
    QTest::newRow("not a terminal") << "/dev/null" << 3 << "/dev/null";
    QTest::newRow("no port chosen") << "/dev/null" << -1 << "COM0";
    QTest::newRow("busy") << "" << 1 << "";
}

void TestSerialLine::portThatDoesNotOpen()
{
    QFETCH(QString, device);
    QFETCH(int, chosen);
    QFETCH(QString, named);

    PseudoTerminal pty;
    QSerialPort holder;
    if (device.isEmpty()) {
        // Another program holds the port.
        QVERIFY(pty.isValid());
        device = named = pty.slavePath();
        holder.setPortName(device);
        QVERIFY(holder.open(QIODevice::WriteOnly));
    }
    Rig rig(allOn(device));
    rig.controls.chosenOption = chosen;
    rig.controls.selected = {1};

    QVERIFY(!rig.run(DownloadScope::SelectedMessages, 0, 0));
    QCOMPARE(rig.messageBox.texts,
             QStringList{QStringLiteral("Error while sending data to port: ") + named});
    QVERIFY(!rig.port.isOpen());
    QVERIFY(rig.controls.mainVisible);
    for (bool enabled : rig.controls.optionEnabled)
        QVERIFY(enabled);
}

QTEST_GUILESS_MAIN(TestSerialLine)
#include "test_serial_line.moc"
