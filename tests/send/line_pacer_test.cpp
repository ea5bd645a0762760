// SPDX-License-Identifier: MIT
#include "line_pacer.h"
#include "serial_port.h"

#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

namespace norvane::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A port that notes when each character's write started. One that stalls has no room for its
// first character until `until` answers true (or ten seconds have passed).
class StampingPort : public SerialPort
{
public:
    void choosePort(qint16) override {}
    QString deviceName() const override { return QStringLiteral("stamping"); }
    bool open() override { return true; }
    bool isOpen() const override { return true; }
    Attempt writeWithoutWaiting(char c) override
    {
        if (until && bytes.isEmpty())
            return Attempt::WouldWait;
        return write(c) ? Attempt::Written : Attempt::Failed;
    }
    bool write(char c) override
    {
        for (const Clock::time_point limit = Clock::now() + 10s;
             until && !until() && Clock::now() < limit;)
            std::this_thread::sleep_for(1ms);
        starts.push_back(Clock::now());
        bytes.append(c);
        ++count;
        return true;
    }
    bool drain() override { return true; }
    void close() override {}
    QString errorString() const override { return {}; }

    std::function<bool()> until;
    QByteArray bytes;
    std::atomic<qsizetype> count{0}; // of bytes, for other threads
    std::vector<Clock::time_point> starts;
};

class LinePacerTest : public QObject
{
    Q_OBJECT

private slots:
    void eachLineAtItsOwnPace_data();
    void eachLineAtItsOwnPace();
    void aStalledPortHoldsUpOnlyItself();
    void aStopCutsThePauseAfterAMessage();
};

void LinePacerTest::eachLineAtItsOwnPace_data()
{
    QTest::addColumn<QVector<int>>("charPauses"); // ms, one line each
    QTest::newRow("two lines") << QVector<int>{2, 3};
    QTest::newRow("three lines, one without pauses") << QVector<int>{1, 0, 4};
}

// Every line gets its records whole and in order, and no character follows the one before it on
// its line sooner than that line's pauses: the character's own, and after the first record the
// pause after a message.
void LinePacerTest::eachLineAtItsOwnPace()
{
    QFETCH(const QVector<int>, charPauses);
    const QByteArray records[] = {"N12\r", "Mtwo lines of text\r"};
    constexpr auto MessagePause = 5ms;
    LinePacer pacer;
    std::vector<StampingPort> ports(std::size_t(charPauses.size()));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        threads.emplace_back([&, i] {
            LinePacer::Line line(pacer, {});
            qint64 written = 0;
            const std::chrono::milliseconds pause(charPauses[qsizetype(i)]);
            line.beginRun();
            QCOMPARE(line.write(ports[i], pause, records[0], written, {}), SendOutcome::Sent);
            line.pause(MessagePause);
            QCOMPARE(line.write(ports[i], pause, records[1], written, {}), SendOutcome::Sent);
            line.endRun();
            QCOMPARE(written, records[0].size() + records[1].size());
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        QCOMPARE(ports[i].bytes, records[0] + records[1]);
        const std::chrono::milliseconds pause(charPauses[qsizetype(i)]);
        for (std::size_t k = 1; k < ports[i].starts.size(); ++k) {
            const auto least = k == std::size_t(records[0].size()) ? pause + MessagePause : pause;
            QVERIFY2(ports[i].starts[k] - ports[i].starts[k - 1] >= least,
                     qPrintable(QStringLiteral("line %1, character %2").arg(i).arg(k)));
        }
    }
}

// A port with no room waits on its own thread; the other line is written meanwhile.
void LinePacerTest::aStalledPortHoldsUpOnlyItself()
{
    LinePacer pacer;
    StampingPort stalled;
    StampingPort other;
    const QByteArray record("Mthe other line\r");
    stalled.until = [&] { return other.count == record.size(); };
    auto send = [&pacer, &record](StampingPort &port) {
        LinePacer::Line line(pacer, {});
        qint64 written = 0;
        line.beginRun();
        QCOMPARE(line.write(port, 1ms, record, written, {}), SendOutcome::Sent);
        line.endRun();
    };
    std::thread stalledThread(send, std::ref(stalled));
    std::thread otherThread(send, std::ref(other));
    stalledThread.join();
    otherThread.join();
    QCOMPARE(other.bytes, record);
    QCOMPARE(stalled.bytes, record);
    QVERIFY(other.starts.back() <= stalled.starts.front());
}

// The next message is handed over before the pause after a message is over; a stop that comes
// during that pause ends the run without it, long before the pause would have ended.
void LinePacerTest::aStopCutsThePauseAfterAMessage()
{
    LinePacer pacer;
    StampingPort port;
    std::atomic<StopRequest> stop{StopRequest::None};
    const StopCheck stopRequested = [&stop] { return stop.load(); };
    LinePacer::Line line(pacer, stopRequested);
    qint64 written = 0;
    line.beginRun();
    QCOMPARE(line.write(port, 0ms, "N1\r", written, stopRequested), SendOutcome::Sent);
    line.pause(60s);
    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        stop = StopRequest::AfterMessage;
        pacer.checkStops();
    });
    const Clock::time_point asked = Clock::now();
    QCOMPARE(line.write(port, 0ms, "N2\r", written, stopRequested), SendOutcome::Stopped);
    line.endRun();
    stopper.join();
    QVERIFY(Clock::now() - asked < 30s);
    QCOMPARE(port.bytes, QByteArray("N1\r"));
    QCOMPARE(written, 3);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::LinePacerTest)
#include "line_pacer_test.moc"
