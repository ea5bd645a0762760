// SPDX-License-Identifier: MIT
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace norvane::test {

// Runs the pacing benchmark with tiny settings and checks its report.
class BenchPacingTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsTheRun_data();
    void reportsTheRun();
    void comparesThePriorities();
};

void BenchPacingTest::reportsTheRun_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("model");

    QTest::newRow("three messages, no pauses")
        << "--messages 3 --char-delay 0 --record-delay 0" << 3 << 111 << "0.000";
    // 2 pairs of 39 bytes: 78 x 1 ms + 2 x 5 ms; the terminator is read as norvane-send reads it.
    QTest::newRow("CR LF, short pauses")
        << "--messages 2 --char-delay 1 --record-delay 5 --terminator CRLF" << 2 << 78 << "0.088";
    QTest::newRow("every arrival timed")
        << "--messages 2 --char-delay 1 --record-delay 5 --terminator CRLF --arrivals" << 2 << 78
        << "0.088";
    // 35 bytes x 0 + 1 x 3 ms.
    QTest::newRow("no terminator, no char delay")
        << "--messages 1 --terminator none --char-delay 0 --record-delay 3" << 1 << 35 << "0.003";
    QTest::newRow("nothing selected")
        << "--messages 0 --char-delay 0 --record-delay 0" << 0 << 0 << "0.000";
    // 2 pairs of 37 bytes: 74 x 1 ms + 2 x 5 ms, clicked in the main window, beside a busy loop.
    QTest::newRow("through the window, busy")
        << "--messages 2 --char-delay 1 --record-delay 5 --window --load 1" << 2 << 74 << "0.084";
    // The same into a pipe instead of a pseudo-terminal.
    QTest::newRow("through the window into a pipe")
        << "--messages 2 --char-delay 1 --record-delay 5 --window --pipe" << 2 << 74 << "0.084";
    // The same, to three pseudo-terminals at once, each on a thread of its own.
    QTest::newRow("three ports") << "--messages 2 --char-delay 1 --record-delay 5 --ports 3" << 2
                                 << 74 << "0.084";
}

void BenchPacingTest::reportsTheRun()
{
    QFETCH(QString, arguments);
    QFETCH(int, messages);
    QFETCH(int, bytes);
    QFETCH(QString, model);

    QProcess bench;
    bench.start(QStringLiteral(NORVANE_BENCH_PROGRAM), arguments.split(' '));
    QVERIFY(bench.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(bench.readAllStandardOutput());
    QVERIFY2(bench.exitCode() == 0, qPrintable(bench.readAllStandardError()));

    const QString last = output.trimmed().section('\n', -1);
    const auto match =
        QRegularExpression(
            QStringLiteral("^pacing: messages (\\d+), bytes (\\d+), measured \\d+\\.\\d{3} s, "
                           "model (\\d+\\.\\d{3}) s, ratio (\\d+\\.\\d{4}|n/a), min gap "
                           "(\\d+\\.\\d{3}|n/a) ms, cpu \\d+\\.\\d{2} %$"))
            .match(last);
    QVERIFY2(match.hasMatch(), qPrintable(last));
    QCOMPARE(match.captured(1).toInt(), messages);
    QCOMPARE(match.captured(2).toInt(), bytes);
    QCOMPARE(match.captured(3), model);
    // Every pause is at least as long as asked, so the run never beats the model.
    if (model.toDouble() > 0)
        QVERIFY2(match.captured(4).toDouble() >= 1.0, qPrintable(last));
    else
        QCOMPARE(match.captured(4), QStringLiteral("n/a"));
    QCOMPARE(match.captured(5) == QLatin1String("n/a"), bytes < 2);
    // It says how the writer was scheduled.
    QCOMPARE(
        output.contains(QRegularExpression(QStringLiteral("^priority: (adaptive|raised|normal)"),
                                           QRegularExpression::MultilineOption)),
        bytes > 0);
    // The bytes each pseudo-terminal received are the bytes written.
    const int ports = arguments.contains(QLatin1String("--ports 3")) ? 3 : 1;
    QCOMPARE(output.count(QRegularExpression(
                 QStringLiteral("^(reader|port \\d /dev/\\S+): bytes %1, ").arg(bytes),
                 QRegularExpression::MultilineOption)),
             ports);
}

// The three ways of handling the priority, side by side, as anyone may check on their machine.
void BenchPacingTest::comparesThePriorities()
{
    QProcess bench;
    bench.start(
        QStringLiteral(NORVANE_BENCH_PROGRAM),
        {"--messages", "1", "--char-delay", "1", "--record-delay", "1", "--compare-priority", "2"});
    QVERIFY(bench.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(bench.readAllStandardOutput());
    QVERIFY2(bench.exitCode() == 0, qPrintable(bench.readAllStandardError()));
    const QString last = output.trimmed().section('\n', -1);
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^compare: rounds 2, median ratio: adaptive \\d\\.\\d{4} .*, "
                                "raised \\d\\.\\d{4} .*, normal \\d\\.\\d{4} .*; adaptive "
                                "ended raised in [0-2] of 2, tried raising in [0-2]$"))
                 .match(last)
                 .hasMatch(),
             qPrintable(output));
    QCOMPARE(output.count(QStringLiteral("\nround ")), 6);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::BenchPacingTest)
#include "bench_pacing_test.moc"
