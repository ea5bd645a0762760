// SPDX-License-Identifier: MIT
#include "fake_clock.h"
#include "steady_pause.h"

#include <QTest>

#include <array>
#include <utility>

using namespace norvane;
using namespace norvane::test;
using namespace std::chrono_literals;
using std::chrono::microseconds;
using Pauses = QVector<qint32>;
using Micros = QVector<int>;

namespace {

// A pause on a fake clock; `work` is what serving the window system costs in the next pause.
struct Rig
{
    FakeClock fake;
    int waits = 0;
    FakeClock::Duration work{0};
    SteadyPause pause{[this](FakeClock::Duration) {
                          ++waits;
                          fake.advance(std::exchange(work, {}));
                      },
                      fake.clock()};

    // Writes one character that takes `took` and pauses `ms` after it; returns the write's start,
    // once the pause before it is over.
    FakeClock::TimePoint character(FakeClock::Duration took, qint32 ms)
    {
        pause.markWrite();
        const FakeClock::TimePoint start = fake.now;
        fake.advance(took);
        pause.pause(std::chrono::milliseconds(ms));
        return start;
    }
};

} // namespace

class SteadyPauseTest : public QObject
{
    Q_OBJECT

private slots:
    void endsOnItsTarget_data();
    void endsOnItsTarget();
    void neverShorterThanAsked();
    void slowWritePushesThePauseBack_data();
    void slowWritePushesThePauseBack();
    void heldUpWriteKeepsTheNextGap_data();
    void heldUpWriteKeepsTheNextGap();
    void learnsTheWakeUpLateness_data();
    void learnsTheWakeUpLateness();
    void workAfterMessagesDelaysNoWrite_data();
    void workAfterMessagesDelaysNoWrite();
    void waitingWithinItsBudgetDelaysNothing_data();
    void waitingWithinItsBudgetDelaysNothing();
    void shortSleepLatenessWaitedOut();
    void raisedOnlyWhenWaitingForAProcessor_data();
    void raisedOnlyWhenWaitingForAProcessor();
    void realClockSmoke();
};

void SteadyPauseTest::endsOnItsTarget_data()
{
    QTest::addColumn<int>("workUs"); // spent serving the window system in the first pause
    QTest::addColumn<Pauses>("pauses");
    QTest::addColumn<int>("endUs"); // from the marked write

    QTest::newRow("one pause") << 0 << Pauses{10} << 10000;
    QTest::newRow("pauses in a row add up") << 0 << Pauses{10, 40} << 50000;
    QTest::newRow("work while waiting is covered") << 30000 << Pauses{60} << 60000;
    QTest::newRow("work longer than the pause") << 80000 << Pauses{60} << 80000;
    QTest::newRow("zero") << 0 << Pauses{0} << 0;
    QTest::newRow("zero, then a pause") << 0 << Pauses{0, 10} << 10000;
    QTest::newRow("negative counts as zero") << 0 << Pauses{-32768, 10} << 10000;
}

void SteadyPauseTest::endsOnItsTarget()
{
    QFETCH(int, workUs);
    QFETCH(Pauses, pauses);
    QFETCH(int, endUs);

    Rig rig;
    rig.fake.advance(1s); // a mark long ago does not shorten the pause
    rig.work = microseconds(workUs);
    const FakeClock::TimePoint mark = rig.fake.now;
    rig.pause.markWrite();
    for (qint32 ms : pauses)
        rig.pause.pause(std::chrono::milliseconds(ms));
    QCOMPARE(rig.fake.now - mark, microseconds(endUs));
    QCOMPARE(rig.waits, pauses.size()); // the window system is served once per pause
    // Nothing left to wait for: no sleep at all.
    if (endUs <= workUs)
        QVERIFY(rig.fake.sleeps.isEmpty());
}

void SteadyPauseTest::neverShorterThanAsked()
{
    // Uneven writes and wake-ups: the next write never starts before the pause is over.
    Rig rig;
    const Micros writeUs{5, 20, 400, 20, 3000};
    const Micros lateUs{0, 150, 900, 40, 2500, 7};
    int sleep = 0;
    rig.fake.lateness = [&](FakeClock::Duration) { return microseconds(lateUs[sleep++ % 6]); };
    FakeClock::TimePoint last = rig.character(0us, 1);
    qint32 asked = 1;
    for (int i = 1; i < 500; ++i) {
        const qint32 ms = i % 39 ? 1 : 20;
        const FakeClock::TimePoint start = rig.character(microseconds(writeUs[i % 5]), ms);
        QVERIFY2(start - last >= std::chrono::milliseconds(asked), qPrintable(QString::number(i)));
        last = start;
        asked = ms;
    }
}

void SteadyPauseTest::slowWritePushesThePauseBack_data()
{
    QTest::addColumn<int>("writeUs");
    QTest::addColumn<int>("endUs"); // from the write's start

    // Writes have taken 20 us so far: a write that takes no longer is part of the pause.
    QTest::newRow("quicker than usual") << 15 << 10000;
    QTest::newRow("usual") << 20 << 10000;
    // One held up may have reached the line only at its end, less what a quick write takes.
    QTest::newRow("held up") << 30000 << 30000 - 20 + 10000;
}

void SteadyPauseTest::slowWritePushesThePauseBack()
{
    QFETCH(int, writeUs);
    QFETCH(int, endUs);

    Rig rig;
    for (int i = 0; i < 40; ++i)
        rig.character(20us, 1);
    const FakeClock::TimePoint start = rig.character(microseconds(writeUs), 10);
    QCOMPARE(rig.fake.now - start, microseconds(endUs));
}

// A write held up between its mark and the moment it reached the system (an interrupt, another
// thread), then as quick as the quickest lately: the next write still starts a whole pause after
// it, although writes usually take longer than this one did. Preempted, the thread may have
// written at any moment up to the end of the write, even one no longer than the quickest lately.
void SteadyPauseTest::heldUpWriteKeepsTheNextGap_data()
{
    QTest::addColumn<int>("usualUs"); // what writes take,
    QTest::addColumn<int>("quickUs"); // but every fourth
    QTest::addColumn<int>("heldUs");
    QTest::addColumn<bool>("preempted");
    QTest::addColumn<int>("readUs");   // what reading the preemptions takes before the write
    QTest::addColumn<int>("pushedUs"); // how far the write moves its pause back, as told

    QTest::newRow("held up") << 30 << 10 << 50 << false << 1 << 50;
    QTest::newRow("preempted") << 60 << 60 << 50 << true << 1 << 60;
    QTest::newRow("held up reading the preemptions") << 20 << 20 << 0 << false << 50 << 0;
}

void SteadyPauseTest::heldUpWriteKeepsTheNextGap()
{
    QFETCH(int, usualUs);
    QFETCH(int, quickUs);
    QFETCH(int, heldUs);
    QFETCH(bool, preempted);
    QFETCH(int, readUs);
    QFETCH(int, pushedUs);

    Rig rig;
    rig.fake.preemptionsRead = 1us;
    for (int i = 0; i < 40; ++i)
        rig.character(microseconds(i % 4 == 3 ? quickUs : usualUs), 1);
    const FakeClock::Duration pushedBefore = rig.pause.pushedBack();
    rig.fake.preemptionsRead = microseconds(readUs);
    rig.pause.markWrite();
    rig.fake.preemptionsRead = 1us;
    rig.fake.advance(microseconds(heldUs));
    rig.fake.preempted += preempted ? 1 : 0;
    const FakeClock::TimePoint reached = rig.fake.now;
    rig.fake.advance(10us);
    rig.pause.pause(std::chrono::milliseconds(10));
    QCOMPARE(rig.pause.pushedBack() - pushedBefore, microseconds(pushedUs));
    QCOMPARE(rig.pause.preemptedWrites(), preempted ? 1 : 0);
    QCOMPARE(rig.pause.pushedBackPreempted(), preempted ? microseconds(pushedUs) : 0us);
    QVERIFY(rig.character(10us, 1) - reached >= std::chrono::milliseconds(10));
}

void SteadyPauseTest::learnsTheWakeUpLateness_data()
{
    QTest::addColumn<int>("lateUs"); // of every sleep longer than 100 us; shorter ones are on time
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("leadUs"); // the long sleep's end before the target, learned: about
    QTest::addColumn<int>("overUs"); // how late the pause ends, then

    QTest::newRow("on time") << 0 << 10 << 100 << 0;
    QTest::newRow("200 us late") << 200 << 10 << 300 << 0;
    // The long sleep takes at least half the pause.
    QTest::newRow("late by more than half a short pause") << 800 << 1 << 500 << 300;
}

void SteadyPauseTest::learnsTheWakeUpLateness()
{
    QFETCH(int, lateUs);
    QFETCH(int, ms);
    QFETCH(int, leadUs);
    QFETCH(int, overUs);

    Rig rig;
    rig.fake.lateness = [lateUs](FakeClock::Duration length) {
        return length > 100us ? microseconds(lateUs) : 0us;
    };
    // Before anything is learned, the long sleep ends one short sleep early.
    FakeClock::TimePoint target = rig.character(0us, ms) + std::chrono::milliseconds(ms);
    QCOMPARE(rig.fake.sleeps.first().until, target - std::min(100us, microseconds(ms * 500)));
    for (int i = 0; i < 300; ++i) {
        rig.fake.sleeps.clear();
        target = rig.character(0us, ms) + std::chrono::milliseconds(ms);
    }
    // The lead settles a little above the lateness, in steps of 3.8 us up and 0.2 us down.
    const FakeClock::Duration lead = target - rig.fake.sleeps.first().until;
    QVERIFY2(lead >= microseconds(leadUs) - 200ns && lead <= microseconds(leadUs) + 3800ns,
             qPrintable(QString::number(lead.count())));
    QCOMPARE(rig.fake.now - target, microseconds(overUs));
    // Short sleeps cover the rest.
    for (qsizetype i = 1; i < rig.fake.sleeps.size(); ++i) {
        const auto &sleep = rig.fake.sleeps[i];
        QVERIFY(sleep.until - rig.fake.sleeps[i - 1].woke <= 100us);
    }
}

void SteadyPauseTest::workAfterMessagesDelaysNoWrite_data()
{
    QTest::addColumn<Micros>("workUs"); // after each message's pause, in turn
    QTest::addColumn<int>("lateUs");    // the most the first write of a message may be late

    QTest::newRow("none") << Micros{0} << 0;
    QTest::newRow("a repaint") << Micros{300} << 1;
    QTest::newRow("a slow repaint") << Micros{2000} << 1;
    // Shorter work than the lead is waited out to the target; longer work is late by its excess,
    // a small part of it.
    QTest::newRow("uneven") << Micros{300, 100, 250, 40, 300} << 60;
}

void SteadyPauseTest::workAfterMessagesDelaysNoWrite()
{
    QFETCH(Micros, workUs);
    QFETCH(int, lateUs);

    // Messages of three characters at 10 ms and a 200 ms pause; between a message's pause and
    // the next message's first write the caller works (repaints its progress).
    Rig rig;
    rig.pause.beginRun();
    FakeClock::TimePoint last = rig.character(0us, 10);
    qint32 asked = 10;
    for (int message = 0; message < 40; ++message) {
        FakeClock::TimePoint start;
        for (int c = 0; c < 3; ++c) {
            start = rig.character(20us, 10);
            QVERIFY(start - last >= std::chrono::milliseconds(asked));
            if (c == 0 && message >= 20) // once the work is learned
                QVERIFY2(start - last - std::chrono::milliseconds(asked) <= microseconds(lateUs),
                         qPrintable(QString::number((start - last).count())));
            last = start;
            asked = 10;
        }
        rig.pause.pause(std::chrono::milliseconds(200));
        asked = 210;
        rig.fake.advance(microseconds(workUs[message % workUs.size()]));
    }
    // The run ends no earlier than the last pause.
    rig.pause.endRun();
    QVERIFY(rig.fake.now - last >= std::chrono::milliseconds(asked));
}

void SteadyPauseTest::waitingWithinItsBudgetDelaysNothing_data()
{
    QTest::addColumn<int>("ms");
    QTest::newRow("10 ms") << 10;
    QTest::newRow("1 ms") << 1;
    QTest::newRow("zero: no time to give") << 0;
}

void SteadyPauseTest::waitingWithinItsBudgetDelaysNothing()
{
    QFETCH(int, ms);

    // Work that takes all the time it is offered still leaves the pause on its target.
    FakeClock fake;
    FakeClock::Duration offered{-1};
    SteadyPause pause(
        [&](FakeClock::Duration budget) {
            offered = budget;
            fake.advance(budget);
        },
        fake.clock());
    for (int i = 0; i < 5; ++i) {
        const FakeClock::TimePoint start = fake.now;
        pause.markWrite();
        pause.pause(std::chrono::milliseconds(ms));
        QCOMPARE(fake.now - start, std::chrono::milliseconds(ms));
        QVERIFY(offered >= 0ns && offered < std::chrono::milliseconds(std::max(ms, 1)));
        QCOMPARE(offered > 0ns, ms > 0);
    }
}

void SteadyPauseTest::shortSleepLatenessWaitedOut()
{
    // Every sleep wakes 30 us late: once that is learned, the last stretch of each pause is
    // waited out on the clock and the pause ends on its target instead of 30 us after it.
    Rig rig;
    rig.fake.lateness = [](FakeClock::Duration) { return 30us; };
    FakeClock::TimePoint target;
    for (int i = 0; i < 300; ++i)
        target = rig.character(0us, 10) + 10ms;
    QCOMPARE(rig.fake.now - target, 0ns);
    // What is waited out stays a small part of the pause: a processor is busy for it.
    rig.fake.waited = 0ns;
    rig.character(0us, 10);
    QVERIFY2(rig.fake.waited <= 100us, qPrintable(QString::number(rig.fake.waited.count())));
}

void SteadyPauseTest::raisedOnlyWhenWaitingForAProcessor_data()
{
    QTest::addColumn<int>("every");        // every so many long sleeps wake late,
    QTest::addColumn<int>("lateUs");       // by that much,
    QTest::addColumn<int>("waitUs");       // of which the thread waited for a processor
    QTest::addColumn<int>("hiccupMs");     // once, a sleep this much later, waiting for a processor
    QTest::addColumn<int>("raisedLateUs"); // raised, how late every tenth long sleep wakes
    QTest::addColumn<int>("raisedWriteUs"); // raised, what a write takes (20 us otherwise)
    QTest::addColumn<double>("othersLoad"); // processors the rest of the machine keeps busy
    QTest::addColumn<bool>("raised");
    QTest::addColumn<bool>("kept");

    QTest::newRow("on time") << 1 << 0 << 0 << 0 << 0 << 20 << 1.0 << false << false;
    // The timer comes late now and then (an idle virtual machine, the writes late by 0.5 %): a
    // raised thread would not wake sooner.
    QTest::newRow("late timer") << 40 << 2000 << 0 << 0 << 0 << 20 << 1.0 << false << false;
    QTest::newRow("one long wait") << 1 << 0 << 0 << 3 << 0 << 20 << 1.0 << false << false;
    // A busy machine: woken on time, the thread waits for a processor; raised, it does not.
    QTest::newRow("waits for a processor") << 1 << 60 << 60 << 0 << 0 << 20 << 1.0 << true << true;
    // It waits for a processor, but raised it wakes later still: back to normal.
    QTest::newRow("raised is later") << 1 << 60 << 60 << 0 << 3000 << 20 << 1.0 << true << false;
    // Raised, it wakes on time, but its writes are held up and the pauses count from their end.
    QTest::newRow("raised writes are held up")
        << 1 << 60 << 60 << 0 << 0 << 300 << 1.0 << true << false;
    // It waits, but behind its own program (a window painting): a raise would not make that
    // wait shorter.
    QTest::newRow("waits behind its own program")
        << 1 << 60 << 60 << 0 << 0 << 20 << 0.05 << false << false;
}

void SteadyPauseTest::raisedOnlyWhenWaitingForAProcessor()
{
    QFETCH(int, every);
    QFETCH(int, lateUs);
    QFETCH(int, waitUs);
    QFETCH(int, hiccupMs);
    QFETCH(int, raisedLateUs);
    QFETCH(int, raisedWriteUs);
    QFETCH(double, othersLoad);
    QFETCH(bool, raised);
    QFETCH(bool, kept);

    Rig rig;
    rig.fake.othersLoad = othersLoad;
    int sleeps = 0;
    int longSleeps = 0;
    rig.fake.lateness = [&](FakeClock::Duration length) {
        if (rig.pause.raisesNow())
            return length > 100us && ++longSleeps % 10 == 0
                       ? FakeClock::Duration(microseconds(raisedLateUs))
                       : 0us;
        const FakeClock::Duration hiccup =
            hiccupMs > 0 && ++sleeps == 500 ? std::chrono::milliseconds(hiccupMs) : 0ms;
        const bool long_ = length > 100us && ++longSleeps % every == 0;
        rig.fake.processorWaited += (long_ ? microseconds(waitUs) : 0us) + hiccup;
        return (long_ ? microseconds(lateUs) : 0us) + hiccup;
    };
    rig.pause.beginRun();
    for (int i = 0; i < 1000; ++i)
        rig.character(rig.pause.raisesNow() ? microseconds(raisedWriteUs) : 20us, 10);
    rig.pause.endRun();
    QCOMPARE(rig.pause.raisedAfter().has_value(), raised);
    QCOMPARE(rig.pause.raisesNow(), kept);
    QCOMPARE(rig.pause.loweredAfter().has_value(), raised && !kept);
    // A raise that makes the writes late by percents is undone within about a third of a second
    // of writes.
    if (rig.pause.loweredAfter())
        QVERIFY(*rig.pause.loweredAfter() - *rig.pause.raisedAfter() < 500ms);
    // It says how long the thread waited and how busy the rest of the machine was, when it raised
    // or at the end.
    QVERIFY(rig.pause.waitShare() && rig.pause.othersShare());
    QCOMPARE(*rig.pause.waitShare() > SteadyPause::RaiseAboveWaitShare &&
                 *rig.pause.othersShare() >= SteadyPause::RaiseWhenOthersTake,
             raised);
}

void SteadyPauseTest::realClockSmoke()
{
    // On the real clock only what holds on the busiest machine: never early, and it ends.
    using Clock = std::chrono::steady_clock;
    int waits = 0;
    SteadyPause pause([&waits](std::chrono::nanoseconds) { ++waits; });
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start - 2ms;
    for (int i = 0; i < 20; ++i) {
        const Clock::time_point write = Clock::now();
        QVERIFY(write - last >= 2ms);
        last = write;
        pause.markWrite();
        pause.pause(std::chrono::milliseconds(2));
    }
    pause.pause(std::chrono::milliseconds(0));
    QVERIFY(Clock::now() - start < 60s);
    QCOMPARE(waits, 21);
}

QTEST_GUILESS_MAIN(SteadyPauseTest)
#include "steady_pause_test.moc"
