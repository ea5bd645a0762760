#include "steady_pause.h"

#include <QTest>

#include <thread>

using namespace norvane;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Real time is involved, so the bounds are generous: the test is about the floor between writes,
// and about the pauses neither adding up nor being skipped, not about fine precision.
class TestSteadyPause : public QObject
{
    Q_OBJECT

private slots:
    void gapNeverShorterThanThePause();
    void countsFromTheEndOfThePreviousPause();
    void restartStartsANewCount();
    void zeroAndNegativePausesReturnAtOnce();
    void whileWaitingRunsOncePerPause();
};

void TestSteadyPause::gapNeverShorterThanThePause()
{
    SteadyPause pause;
    pause.restart();
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    for (int i = 0; i < 50; ++i) {
        pause.pause(2);
        const Clock::time_point now = Clock::now();
        QVERIFY2(now - last >= milliseconds(2), qPrintable(QStringLiteral("gap %1").arg(i)));
        last = now;
    }
    const auto total = last - start;
    QVERIFY(total >= milliseconds(100));
    QVERIFY(total < milliseconds(2000));
}

void TestSteadyPause::countsFromTheEndOfThePreviousPause()
{
    // Time spent between two pauses (writing, repainting) is part of the next pause, so that
    // the character rate stays the one asked for.
    SteadyPause pause;
    pause.restart();
    pause.pause(5);
    const Clock::time_point mark = Clock::now();
    std::this_thread::sleep_for(milliseconds(30));
    pause.pause(60);
    const auto took = Clock::now() - mark;
    QVERIFY(took >= milliseconds(60));
    QVERIFY2(took < milliseconds(85), "the pause was added to the work instead of covering it");
}

void TestSteadyPause::restartStartsANewCount()
{
    // A pause long overdue when the next sequence starts must not shorten its first pause.
    SteadyPause pause;
    std::this_thread::sleep_for(milliseconds(30));
    pause.restart();
    const Clock::time_point mark = Clock::now();
    pause.pause(20);
    QVERIFY(Clock::now() - mark >= milliseconds(20));
}

void TestSteadyPause::zeroAndNegativePausesReturnAtOnce()
{
    SteadyPause pause;
    pause.restart();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 1000; ++i) {
        pause.pause(0);
        pause.pause(-32768);
    }
    QVERIFY(Clock::now() - start < milliseconds(1000));
}

void TestSteadyPause::whileWaitingRunsOncePerPause()
{
    int calls = 0;
    SteadyPause pause([&calls] { ++calls; });
    pause.restart();
    pause.pause(1);
    pause.pause(0);
    pause.pause(-1);
    QCOMPARE(calls, 3);
}

QTEST_GUILESS_MAIN(TestSteadyPause)
#include "test_steady_pause.moc"
