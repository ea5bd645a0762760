// SPDX-License-Identifier: MIT
#include "download_requests.h"
#include "fake_clock.h"
#include "fake_download.h"
#include "realtime_kit.h"
#include "steady_pause.h"

#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

int policyNow()
{
    return sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
}

// Whether this thread may take the real-time policy without asking anyone.
bool mayRunRealtime()
{
    rlimit limit{};
    getrlimit(RLIMIT_RTPRIO, &limit);
    return geteuid() == 0 || limit.rlim_cur > 0;
}

// Takes the right to change scheduling policies from this thread (if it has it), and its
// real-time limit, for as long as it lives: the thread is then as an ordinary user's.
class Unprivileged
{
public:
    Unprivileged()
    {
        getrlimit(RLIMIT_RTPRIO, &m_limit);
        const rlimit none{0, m_limit.rlim_max};
        setrlimit(RLIMIT_RTPRIO, &none);
        syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[CAP_SYS_NICE / 32].effective &= ~(1u << (CAP_SYS_NICE % 32));
        syscall(SYS_capset, &m_header, lowered);
    }
    ~Unprivileged()
    {
        syscall(SYS_capset, &m_header, m_saved);
        setrlimit(RLIMIT_RTPRIO, &m_limit);
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    rlimit m_limit{};
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
};

// A download of two selected messages through a steady pause on a fake clock, which notes the
// thread's policy in every pause.
struct Rig
{
    EventLog log;
    FakeProgress progress{log};
    FakeSerialPort port{log};
    FakeClock fake;
    QSet<int> policies;
    SteadyPause pause{[this](FakeClock::Duration) { policies.insert(policyNow()); }, fake.clock()};

    Rig() { pause.setPriorityPolicy(SteadyPause::PriorityPolicy::Raised); }

    bool run()
    {
        return runDownload(requestFor(MessageTable(), {3, 4}, "\r", 10, 200), port, pause, progress)
                   .outcome == DownloadOutcome::Completed;
    }
};

} // namespace

class PacingPriorityTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void raisedForTheRunOnly();
    void aRaiseRefusedStopsNothing();
    void realtimeKitAbsent_data();
    void realtimeKitAbsent();

private:
    QTemporaryDir m_dir;
};

void PacingPriorityTest::initTestCase()
{
    // No system bus, should the test machine have one: the test asks no real service.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS",
            QByteArray("unix:path=") + QFile::encodeName(m_dir.filePath(QStringLiteral("no-bus"))));
}

void PacingPriorityTest::raisedForTheRunOnly()
{
    if (!mayRunRealtime())
        QSKIP("needs root or a real-time limit above zero");
    QCOMPARE(policyNow(), SCHED_OTHER);
    Rig rig;
    QVERIFY(rig.run());
    QCOMPARE(rig.policies, QSet<int>{SCHED_FIFO});
    QCOMPARE(policyNow(), SCHED_OTHER);
    QCOMPARE(rig.pause.priority().description(), QStringLiteral("SCHED_FIFO priority 1"));
    // A run that ends at a failed write gives it back too.
    Rig failing;
    failing.port.failAtByte = 5;
    QVERIFY(!failing.run());
    QCOMPARE(failing.policies, QSet<int>{SCHED_FIFO});
    QCOMPARE(policyNow(), SCHED_OTHER);
}

void PacingPriorityTest::aRaiseRefusedStopsNothing()
{
    const Unprivileged unprivileged;
    Rig rig;
    QVERIFY(rig.run());
    QCOMPARE(rig.port.bytes.size(), 2 * 37);
    QCOMPARE(rig.policies, QSet<int>{SCHED_OTHER});
    const QString description = rig.pause.priority().description();
    QVERIFY2(description.startsWith(QLatin1String("not raised: not privileged")) &&
                 description.contains(QLatin1String("RealtimeKit: no system bus")),
             qPrintable(description));
}

void PacingPriorityTest::realtimeKitAbsent_data()
{
    QTest::addColumn<bool>("withBus");
    QTest::newRow("no bus") << false;
    QTest::newRow("a bus without the service") << true;
}

void PacingPriorityTest::realtimeKitAbsent()
{
    QFETCH(bool, withBus);

    QProcess daemon;
    QString address = QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("no-bus"));
    if (withBus) {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(10000))
            QSKIP("no dbus-daemon");
        QVERIFY(daemon.waitForReadyRead(10000));
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
    const QString name = QStringLiteral("realtime-kit-test-%1").arg(withBus);
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        QCOMPARE(bus.isConnected(), withBus);
        rlimit before{};
        getrlimit(RLIMIT_RTTIME, &before);
        const QString why = askRealtimeKit(bus, gettid(), 1);
        QVERIFY2(withBus ? why.contains(QLatin1String("org.freedesktop.RealtimeKit1"))
                         : why.startsWith(QLatin1String("no system bus")),
                 qPrintable(why));
        QCOMPARE(policyNow(), SCHED_OTHER);
        // Nothing was granted, so the real-time CPU limit is left as it was.
        rlimit after{};
        getrlimit(RLIMIT_RTTIME, &after);
        QCOMPARE(after.rlim_cur, before.rlim_cur);
        QCOMPARE(after.rlim_max, before.rlim_max);
    }
    QDBusConnection::disconnectFromBus(name);
    if (withBus) {
        daemon.terminate();
        QVERIFY(daemon.waitForFinished(10000));
    }
}

QTEST_GUILESS_MAIN(PacingPriorityTest)
#include "pacing_priority_test.moc"
