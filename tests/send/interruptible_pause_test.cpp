#include "fake_download.h"
#include "interruptible_pause.h"

#include <QTest>

namespace norvane::test {

// Long pauses go out in slices that add up to the pause, and a stop cuts the rest short.
class InterruptiblePauseTest : public QObject
{
    Q_OBJECT

private slots:
    void slices_data();
    void slices();
};

using Pauses = QVector<qint32>;

void InterruptiblePauseTest::slices_data()
{
    QTest::addColumn<qint32>("ms");
    QTest::addColumn<int>("stopAfter"); // slices before the stop comes; -1: none
    QTest::addColumn<Pauses>("slices");

    QTest::newRow("none") << 0 << -1 << Pauses{0};
    QTest::newRow("short") << 10 << -1 << Pauses{10};
    QTest::newRow("one slice") << 100 << -1 << Pauses{100};
    QTest::newRow("long") << 250 << -1 << Pauses{100, 100, 50};
    QTest::newRow("stopped in the middle") << 250 << 1 << Pauses{100};
    QTest::newRow("stopped before") << 10 << 0 << Pauses{};
}

void InterruptiblePauseTest::slices()
{
    QFETCH(qint32, ms);
    QFETCH(int, stopAfter);
    QFETCH(Pauses, slices);

    EventLog log;
    FakePause inner(log);
    InterruptiblePause pause(inner,
                             [&] { return stopAfter >= 0 && inner.pauses.size() >= stopAfter; });
    pause.beginRun();
    pause.markWrite();
    pause.pause(std::chrono::milliseconds(ms));
    pause.endRun();
    // The run's start and end reach the pause beneath: it raises the priority for the run.
    QCOMPARE(log.count("begin run"), 1);
    QCOMPARE(log.count("end run"), 1);
    QCOMPARE(log.count("mark"), 1);
    QCOMPARE(inner.pauses, slices);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::InterruptiblePauseTest)
#include "interruptible_pause_test.moc"
