#include "steady_pause.h"

#include <QTest>

#include <thread>

using namespace norvane;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Pauses = QVector<qint32>;

// Real time is involved, so the bounds are generous: the test is about the floor between writes,
// and about the pauses neither adding up nor being skipped, not about fine precision.
class TestSteadyPause : public QObject
{
    Q_OBJECT

private slots:
    void gapNeverShorterThanThePause();
    void countsFromTheMarkedWrite_data();
    void countsFromTheMarkedWrite();
    void zeroAndNegativePausesReturnAtOnce();
};

void TestSteadyPause::gapNeverShorterThanThePause()
{
    int waits = 0;
    SteadyPause pause([&waits] { ++waits; });
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
    QCOMPARE(waits, 50); // the window system is served once per pause
}

void TestSteadyPause::countsFromTheMarkedWrite_data()
{
    QTest::addColumn<int>("workMs");
    QTest::addColumn<Pauses>("pauses");
    QTest::addColumn<int>("totalMs");

    // Time spent after the write (the write itself, repainting) is part of the pause, so the
    // character rate stays the one asked for.
    QTest::newRow("work is covered by the pause") << 30 << Pauses{60} << 60;
    QTest::newRow("pauses in a row add up") << 0 << Pauses{10, 40} << 50;
}

void TestSteadyPause::countsFromTheMarkedWrite()
{
    QFETCH(int, workMs);
    QFETCH(Pauses, pauses);
    QFETCH(int, totalMs);

    SteadyPause pause;
    // A mark long ago does not shorten a later pause.
    std::this_thread::sleep_for(milliseconds(30));
    pause.markWrite();
    const Clock::time_point mark = Clock::now();
    std::this_thread::sleep_for(milliseconds(workMs));
    for (qint32 ms : pauses)
        pause.pause(ms);
    const auto took = Clock::now() - mark;
    QVERIFY(took >= milliseconds(totalMs));
    QVERIFY2(took < milliseconds(totalMs + 25), "pauses were added to the work or to each other");
}

void TestSteadyPause::zeroAndNegativePausesReturnAtOnce()
{
    int waits = 0;
    SteadyPause pause([&waits] { ++waits; });
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 1000; ++i) {
        pause.markWrite();
        pause.pause(0);
        pause.pause(-32768);
    }
    QVERIFY(Clock::now() - start < milliseconds(1000));
    QCOMPARE(waits, 2000);
}

QTEST_GUILESS_MAIN(TestSteadyPause)
#include "test_steady_pause.moc"
