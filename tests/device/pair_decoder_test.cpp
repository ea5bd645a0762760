// SPDX-License-Identifier: MIT
#include "pair_decoder.h"

#include <QTest>

using namespace std::chrono_literals;

namespace norvane::test {
namespace {

// A message pair as the tool sends it.
QByteArray pair(int number, const QByteArray &text, const QByteArray &terminator)
{
    return "N" + QByteArray::number(number) + terminator + "M" + text.leftJustified(32, ' ', true) +
           terminator;
}

QByteArray expected(int number, const QByteArray &text)
{
    return QByteArray::number(number) + ':' + text.leftJustified(32, ' ', true);
}

// Gaps of 10 ms before every byte after the first, except the given {byte index, ms}.
QList<int> gaps(qsizetype bytes, std::initializer_list<std::pair<int, int>> changed = {})
{
    QList<int> result(bytes - 1, 10);
    for (const auto &[index, ms] : changed)
        result[index - 1] = ms;
    return result;
}

} // namespace

class PairDecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesTheStream_data();
    void decodesTheStream();
    void reportsShortGapsInsidePairs_data();
    void reportsShortGapsInsidePairs();
};

void PairDecoderTest::decodesTheStream_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("messages"); // "number:text"
    QTest::addColumn<qint64>("skipped");

    const QByteArray hello = "HELLO";
    const QByteArray full = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    const QList<QPair<const char *, QByteArray>> terminators = {
        {"none", ""}, {"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}};
    for (const auto &[name, terminator] : terminators) {
        // A whole download with an "N" and the terminator in every text, and a pair that broke
        // off before its text: only the broken pair is lost.
        QByteArray stream;
        QByteArrayList messages;
        for (int n = 0; n < 1000; ++n) {
            const QByteArray text = "MESSAGE " + QByteArray::number(n) + " N" + terminator;
            stream += (n == 500 ? "N50" : "") + pair(n, text, terminator);
            messages.append(expected(n, text));
        }
        QTest::addRow("%s, 1000 pairs, one broken off", name) << stream << messages << qint64(3);
    }

    QTest::newRow("worked example: 37 bytes of message 7")
        << QByteArray("\x4E\x37\x0D\x4D\x48\x45\x4C\x4C\x4F") + QByteArray(27, ' ') + "\r"
        << QByteArrayList{expected(7, hello)} << qint64(0);
    QTest::newRow("no terminator: the digits end at M")
        << QByteArray("N12M") + QByteArray(32, ' ') << QByteArrayList{expected(12, "")}
        << qint64(0);
    QTest::newRow("terminators differ between the records")
        << QByteArray("N3\r\nM") + full + "\n" + pair(4, hello, "\r")
        << QByteArrayList{expected(3, full), expected(4, hello)} << qint64(0);
    QTest::newRow("leading zeros are read as a number")
        << pair(7, hello, "").replace("N7", "N007") << QByteArrayList{expected(7, hello)}
        << qint64(0);
    QTest::newRow("N, M, CR and LF inside the text are text")
        << pair(8, "N1\rMN9\r", "\r") + pair(9, "NNNN", "") + pair(1, "\r\n\r\n", "\r\n")
        << QByteArrayList{expected(8, "N1\rMN9\r"), expected(9, "NNNN"), expected(1, "\r\n\r\n")}
        << qint64(0);
    QTest::newRow("garbage before and between pairs")
        << QByteArray("xyz\r\n\0\xff", 7) + pair(1, hello, "\r") + "abc" + pair(2, hello, "\r")
        << QByteArrayList{expected(1, hello), expected(2, hello)} << qint64(10);
    QTest::newRow("a stray N just before a pair")
        << "N" + pair(4, hello, "\r") << QByteArrayList{expected(4, hello)} << qint64(1);
    QTest::newRow("a broken number record hides a pair")
        << "N1N5\r" + pair(6, hello, "\n").mid(3) << QByteArrayList{expected(5, hello)}
        << qint64(2);
    QTest::newRow("four digits are not a number")
        << QByteArray("N1234\rM") + pair(2, hello, "\r") << QByteArrayList{expected(2, hello)}
        << qint64(7);
    QTest::newRow("N without digits")
        << "NM" + pair(3, hello, "") << QByteArrayList{expected(3, hello)} << qint64(2);
    QTest::newRow("LF before CR is not a terminator")
        << QByteArray("N5\n\rM") + QByteArray(32, 'x') << QByteArrayList{} << qint64(37);
    QTest::newRow("two terminators after the number")
        << QByteArray("N5\r\r") + pair(6, hello, "\r") << QByteArrayList{expected(6, hello)}
        << qint64(4);
    QTest::newRow("a pair cut off in its text counts as skipped")
        << pair(1, hello, "\r") + "N2\rMHEL" << QByteArrayList{expected(1, hello)} << qint64(7);
    QTest::newRow("a pair cut off in its number counts as skipped")
        << pair(1, hello, "\r\n") + "N99" << QByteArrayList{expected(1, hello)} << qint64(3);
    QTest::newRow("nothing at all") << QByteArray() << QByteArrayList{} << qint64(0);
}

void PairDecoderTest::decodesTheStream()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArrayList, messages);
    QFETCH(qint64, skipped);

    PairDecoder decoder;
    QByteArrayList decoded;
    for (char c : stream) {
        if (const auto message = decoder.feed(c, 0ns))
            decoded.append(QByteArray::number(message->number) + ':' + message->text);
    }
    decoder.finish();
    QCOMPARE(decoded, messages);
    QCOMPARE(decoder.skippedBytes(), skipped);
    QCOMPARE(decoder.messages(), messages.size());
    QCOMPARE(decoder.bytes(), stream.size());
}

void PairDecoderTest::reportsShortGapsInsidePairs_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("gapsMs");  // gap before each byte after the first
    QTest::addColumn<QList<int>>("shortAt"); // byte indexes within the pair that are flagged
    QTest::addColumn<int>("minGapMs");       // over the whole stream; -1: none

    const QByteArray one = pair(7, "HELLO", "\r"); // 37 bytes
    QTest::newRow("paced") << one << gaps(one.size()) << QList<int>{} << 10;
    QTest::newRow("two early bytes, one the CR after the text")
        << one << gaps(one.size(), {{5, 3}, {36, 0}}) << QList<int>{5, 36} << 0;
    QTest::newRow("number record in one chunk")
        << one << gaps(one.size(), {{1, 0}, {2, 0}}) << QList<int>{1, 2} << 0;
    const QByteArray two = pair(1, "A", "") + pair(2, "B", "");
    QTest::newRow("a gap between pairs is not flagged but is the shortest")
        << two << gaps(two.size(), {{35, 1}}) << QList<int>{} << 1;
    const QByteArray broken = "N1\rN" + pair(3, "X", "\r").mid(1);
    QTest::newRow("a gap in a broken-off candidate is dropped")
        << broken << gaps(broken.size(), {{1, 0}}) << QList<int>{} << 0;
    QTest::newRow("one byte has no gap") << QByteArray("x") << QList<int>{} << QList<int>{} << -1;
}

void PairDecoderTest::reportsShortGapsInsidePairs()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, gapsMs);
    QFETCH(QList<int>, shortAt);
    QFETCH(int, minGapMs);

    PairDecoder decoder(10ms);
    std::chrono::nanoseconds at = 1s;
    QList<int> indexes;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        if (i > 0)
            at += std::chrono::milliseconds(gapsMs[i - 1]);
        decoder.feed(stream[i], at);
        for (const ShortGap &gap : decoder.takeShortGaps()) {
            indexes.append(gap.byteIndex);
            QCOMPARE(gap.number, 7); // only message 7 has flagged gaps
            QCOMPARE(gap.gap, std::chrono::milliseconds(gapsMs[gap.byteIndex - 1]));
        }
    }
    QCOMPARE(indexes, shortAt);
    QCOMPARE(decoder.shortGapCount(), shortAt.size());
    QCOMPARE(decoder.minGap().has_value(), minGapMs >= 0);
    if (minGapMs >= 0)
        QCOMPARE(*decoder.minGap(), std::chrono::milliseconds(minGapMs));
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::PairDecoderTest)
#include "pair_decoder_test.moc"
