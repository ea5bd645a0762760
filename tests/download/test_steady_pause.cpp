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
    void countsFromTheMarkedWrite();
    void pausesInARowAddUp();
    void zeroAndNegativePausesReturnAtOnce();
    void whileWaitingRunsOncePerPause();
};

void TestSteadyPause::gapNeverShorterThanThePause()
{
    SteadyPause pause;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start - milliseconds(2);
    for (int i = 0; i < 50; ++i) {
        const Clock::time_point write = Clock::now();
        QVERIFY2(write - last >= milliseconds(2), qPrintable(QStringLiteral("gap %1").arg(i)));
        last = write;
        pause.markWrite();
        pause.pause(2);
    }
    const auto total = Clock::now() - start;
    QVERIFY(total >= milliseconds(100));
    QVERIFY(total < milliseconds(2000));
}

void TestSteadyPause::countsFromTheMarkedWrite()
{
    // Time spent after the write (the write itself, repainting) is part of the pause, so the
    // character rate stays the one asked for; a mark long ago does not shorten a later pause.
    SteadyPause pause;
    std::this_thread::sleep_for(milliseconds(30));
    pause.markWrite();
    const Clock::time_point mark = Clock::now();
    std::this_thread::sleep_for(milliseconds(30));
    pause.pause(60);
    const auto took = Clock::now() - mark;
    QVERIFY(took >= milliseconds(60));
    QVERIFY2(took < milliseconds(85), "the pause was added to the work instead of covering it");
}

void TestSteadyPause::pausesInARowAddUp()
{
    SteadyPause pause;
    pause.markWrite();
    const Clock::time_point mark = Clock::now();
    pause.pause(10);
    pause.pause(40);
    const auto took = Clock::now() - mark;
    QVERIFY(took >= milliseconds(50));
    QVERIFY(took < milliseconds(75));
}

void TestSteadyPause::zeroAndNegativePausesReturnAtOnce()
{
    SteadyPause pause;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 1000; ++i) {
        pause.markWrite();
        pause.pause(0);
        pause.pause(-32768);
    }
    QVERIFY(Clock::now() - start < milliseconds(1000));
}

void TestSteadyPause::whileWaitingRunsOncePerPause()
{
    int calls = 0;
    SteadyPause pause([&calls] { ++calls; });
    pause.markWrite();
    pause.pause(1);
    pause.pause(0);
    pause.pause(-1);
    QCOMPARE(calls, 3);
}

QTEST_GUILESS_MAIN(TestSteadyPause)
#include "test_steady_pause.moc"
