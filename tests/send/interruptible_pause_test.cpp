// SPDX-License-Identifier: MIT
#include "fake_download.h"
#include "interruptible_pause.h"

#include <QTest>

Q_DECLARE_METATYPE(norvane::StopRequest)

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
    QTest::addColumn<StopRequest>("stop");
    QTest::addColumn<bool>("afterWrite"); // else the pause follows another: the one after a message
    QTest::addColumn<Pauses>("slices");

    const auto now = StopRequest::Now;
    const auto afterMessage = StopRequest::AfterMessage;
    QTest::newRow("none") << 0 << -1 << now << true << Pauses{0};
    QTest::newRow("short") << 10 << -1 << now << true << Pauses{10};
    QTest::newRow("one slice") << 100 << -1 << now << true << Pauses{100};
    QTest::newRow("long") << 250 << -1 << now << true << Pauses{100, 100, 50};
    QTest::newRow("stopped in the middle") << 250 << 1 << now << true << Pauses{100};
    QTest::newRow("stopped before") << 10 << 0 << now << true << Pauses{};
    QTest::newRow("after the message: a pause between characters is kept")
        << 250 << 1 << afterMessage << true << Pauses{100, 100, 50};
    QTest::newRow("after the message: the pause after a message is cut")
        << 250 << 1 << afterMessage << false << Pauses{100};
}

void InterruptiblePauseTest::slices()
{
    QFETCH(qint32, ms);
    QFETCH(int, stopAfter);
    QFETCH(StopRequest, stop);
    QFETCH(bool, afterWrite);
    QFETCH(Pauses, slices);

    EventLog log;
    FakePause inner(log);
    InterruptiblePause pause(inner, [&] {
        // The slices of the pause under test come after a first pause of 10.
        const int taken = int(inner.pauses.size()) - (afterWrite ? 0 : 1);
        return stopAfter >= 0 && taken >= stopAfter ? stop : StopRequest::None;
    });
    pause.beginRun();
    pause.markWrite();
    if (!afterWrite)
        pause.pause(std::chrono::milliseconds(10));
    pause.pause(std::chrono::milliseconds(ms));
    pause.endRun();
    // The run's start and end reach the pause beneath: it raises the priority for the run.
    QCOMPARE(log.count("begin run"), 1);
    QCOMPARE(log.count("end run"), 1);
    QCOMPARE(log.count("mark"), 1);
    if (!afterWrite)
        inner.pauses.removeFirst();
    QCOMPARE(inner.pauses, slices);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::InterruptiblePauseTest)
#include "interruptible_pause_test.moc"
