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
    QTest::addColumn<int>("writeMs"); // from the mark to the pause: the write itself
    QTest::addColumn<int>("waitMs");  // spent serving the window system inside the pause
    QTest::addColumn<Pauses>("pauses");
    QTest::addColumn<int>("totalMs"); // from the mark to the end of the pauses

    // Work done inside the pause is part of it, so the character rate stays the one asked for.
    QTest::newRow("work while waiting is covered") << 0 << 30 << Pauses{60} << 60;
    QTest::newRow("pauses in a row add up") << 0 << 0 << Pauses{10, 40} << 50;
    // A write held up on its way may have reached the line late: the pause counts from its end.
    QTest::newRow("a slow write pushes the pause back") << 30 << 0 << Pauses{10} << 40;
}

void TestSteadyPause::countsFromTheMarkedWrite()
{
    QFETCH(int, writeMs);
    QFETCH(int, waitMs);
    QFETCH(Pauses, pauses);
    QFETCH(int, totalMs);

    int waits = 0;
    SteadyPause pause([&] {
        if (waits++ == 0)
            std::this_thread::sleep_for(milliseconds(waitMs));
    });
    // A mark long ago does not shorten a later pause.
    std::this_thread::sleep_for(milliseconds(30));
    pause.markWrite();
    const Clock::time_point mark = Clock::now();
    std::this_thread::sleep_for(milliseconds(writeMs));
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
