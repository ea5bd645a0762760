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

struct Decoded
{
    QByteArrayList messages; // "number:text"
    qint64 skipped = 0;
};

Decoded decodeAll(const QByteArray &stream)
{
    PairDecoder decoder;
    Decoded result;
    for (char c : stream) {
        if (const auto message = decoder.feed(c, 0ns))
            result.messages.append(QByteArray::number(message->number) + ':' + message->text);
    }
    decoder.finish();
    result.skipped = decoder.skippedBytes();
    return result;
}

QByteArray expected(int number, const QByteArray &text)
{
    return QByteArray::number(number) + ':' + text.leftJustified(32, ' ', true);
}

} // namespace

class PairDecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesTheStream_data();
    void decodesTheStream();
    void findsAllPairsOfALongRun_data();
    void findsAllPairsOfALongRun();
    void reportsShortGapsInsidePairs_data();
    void reportsShortGapsInsidePairs();
    void keepsTheShortestGapOfTheWholeStream();
};

void PairDecoderTest::decodesTheStream_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<qint64>("skipped");

    const QByteArray hello = "HELLO";
    const QByteArray full = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    const QList<QPair<const char *, QByteArray>> terminators = {
        {"none", ""}, {"CR", "\r"}, {"LF", "\n"}, {"CR LF", "\r\n"}};
    for (const auto &[name, terminator] : terminators) {
        for (int number : {0, 7, 999}) {
            QTest::addRow("%s, message %d", name, number)
                << pair(number, hello, terminator) << QByteArrayList{expected(number, hello)}
                << qint64(0);
        }
        QTest::addRow("%s, three pairs back to back", name)
            << pair(5, "", terminator) + pair(12, full, terminator) + pair(900, hello, terminator)
            << QByteArrayList{expected(5, ""), expected(12, full), expected(900, hello)}
            << qint64(0);
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

    QTest::newRow("N and M inside the text are text")
        << pair(8, "N1\rMN9\r", "\r") + pair(9, "NNNN", "")
        << QByteArrayList{expected(8, "N1\rMN9\r"), expected(9, "NNNN")} << qint64(0);
    QTest::newRow("CR and LF inside the text are text")
        << pair(1, "\r\n\r\n", "\r\n") << QByteArrayList{expected(1, "\r\n\r\n")} << qint64(0);

    QTest::newRow("garbage before the first pair")
        << QByteArray("xyz\r\n\0\xff", 7) + pair(1, hello, "\r")
        << QByteArrayList{expected(1, hello)} << qint64(7);
    QTest::newRow("garbage between pairs")
        << pair(1, hello, "\r") + "abc" + pair(2, hello, "\r")
        << QByteArrayList{expected(1, hello), expected(2, hello)} << qint64(3);
    QTest::newRow("a stray N just before a pair")
        << "N" + pair(4, hello, "\r") << QByteArrayList{expected(4, hello)} << qint64(1);
    QTest::newRow("a broken number record hides a pair")
        << "N1N5\r" + pair(6, hello, "\n").mid(3)
        << QByteArrayList{expected(6, hello).replace("6:", "5:")} << qint64(2);
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

    const Decoded decoded = decodeAll(stream);
    QCOMPARE(decoded.messages, messages);
    QCOMPARE(decoded.skipped, skipped);
}

// A whole download resynchronises after damage and loses only the damaged pair.
void PairDecoderTest::findsAllPairsOfALongRun_data()
{
    QTest::addColumn<QByteArray>("terminator");
    QTest::newRow("none") << QByteArray();
    QTest::newRow("CR") << QByteArray("\r");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF") << QByteArray("\r\n");
}

void PairDecoderTest::findsAllPairsOfALongRun()
{
    QFETCH(QByteArray, terminator);
    QByteArray stream;
    for (int number = 0; number < 1000; ++number) {
        QByteArray entry = "MESSAGE " + QByteArray::number(number) + " N" + terminator;
        if (number == 500)
            stream += "N50"; // a pair that broke off before its text
        stream += pair(number, entry, terminator);
    }
    PairDecoder decoder;
    int next = 0;
    for (char c : stream) {
        if (const auto message = decoder.feed(c, 0ns)) {
            QCOMPARE(message->number, next);
            ++next;
        }
    }
    QCOMPARE(next, 1000);
    QCOMPARE(decoder.skippedBytes(), 3);
    QCOMPARE(decoder.bytes(), stream.size());
}

void PairDecoderTest::reportsShortGapsInsidePairs_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("gapsMs");  // gap before each byte after the first
    QTest::addColumn<QList<int>>("shortAt"); // byte indexes within the pair that are flagged
    QTest::addColumn<int>("number");

    const QByteArray one = pair(7, "HELLO", "\r"); // 37 bytes
    QList<int> even(one.size() - 1, 10);
    QTest::newRow("paced") << one << even << QList<int>{} << 7;

    QList<int> early = even;
    early[4] = 3;  // byte 5 of the pair
    early[35] = 0; // the CR after the text
    QTest::newRow("two early bytes") << one << early << QList<int>{5, 36} << 7;

    QList<int> chunked = even;
    chunked[0] = 0;
    chunked[1] = 0;
    QTest::newRow("number record in one chunk") << one << chunked << QList<int>{1, 2} << 7;

    const QByteArray two = pair(1, "A", "") + pair(2, "B", "");
    QList<int> fastBetween(two.size() - 1, 10);
    fastBetween[34] = 1; // between the pairs: not inside a pair
    QTest::newRow("gap between pairs is not flagged") << two << fastBetween << QList<int>{} << 0;

    const QByteArray broken = "N1\rN" + pair(3, "X", "\r").mid(1);
    QList<int> brokenGaps(broken.size() - 1, 10);
    brokenGaps[0] = 0; // inside the candidate that breaks off
    QTest::newRow("gap in a broken-off candidate is dropped")
        << broken << brokenGaps << QList<int>{} << 0;
}

void PairDecoderTest::reportsShortGapsInsidePairs()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, gapsMs);
    QFETCH(QList<int>, shortAt);
    QFETCH(int, number);
    QCOMPARE(gapsMs.size(), stream.size() - 1);

    PairDecoder decoder(10ms);
    std::chrono::nanoseconds at = 1s;
    std::vector<ShortGap> found;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        if (i > 0)
            at += std::chrono::milliseconds(gapsMs[i - 1]);
        decoder.feed(stream[i], at);
        for (const ShortGap &gap : decoder.takeShortGaps())
            found.push_back(gap);
    }
    QList<int> indexes;
    for (const ShortGap &gap : found) {
        indexes.append(gap.byteIndex);
        QCOMPARE(gap.number, number);
        QCOMPARE(gap.gap, std::chrono::milliseconds(gapsMs[gap.byteIndex - 1]));
    }
    QCOMPARE(indexes, shortAt);
    QCOMPARE(decoder.shortGapCount(), shortAt.size());
}

void PairDecoderTest::keepsTheShortestGapOfTheWholeStream()
{
    PairDecoder decoder(10ms);
    QVERIFY(!decoder.minGap());
    decoder.feed('x', 5ms);
    QVERIFY(!decoder.minGap());
    decoder.feed('y', 12ms);
    decoder.feed('z', 22ms);
    QCOMPARE(*decoder.minGap(), 7ms);
    decoder.feed('z', 22ms);
    QCOMPARE(*decoder.minGap(), 0ms);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::PairDecoderTest)
#include "test_pair_decoder.moc"
