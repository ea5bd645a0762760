// SPDX-License-Identifier: MIT
#include "charset.h"
#include "field_reader.h"
#include "number_conversion.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSet>
#include <QTest>

using namespace norvane;

namespace {

constexpr qsizetype Big = 50 * 1024 * 1024;
constexpr int Fails = 100000; // marker in the tables: the conversion must fail

// Every field of the data; `endings` gets ',' for a field ended by a comma and '|' for one ended
// by a line end or the end of the data. A failure must leave the field empty and stay a failure.
QByteArrayList readAll(QByteArray bytes, QByteArray &endings)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    FieldReader reader(buffer);
    QByteArrayList fields;
    QByteArray field;
    while (reader.readField(field)) {
        fields.append(field);
        endings.append(reader.lastFieldEndedLine() ? '|' : ',');
    }
    if (!field.isEmpty() || reader.readField(field))
        fields.append("<failure left a field or did not last>");
    return fields;
}

void conversion(const char *name, const QByteArray &text, int expected)
{
    QTest::newRow(name) << text << expected;
}

void converts(int expected, std::initializer_list<QByteArray> texts)
{
    for (const QByteArray &text : texts)
        conversion(text.constData(), text, expected);
}

void fields(const char *name, const QByteArray &input, const QByteArrayList &expected,
            const QByteArray &endings)
{
    QTest::newRow(name) << input << expected << endings;
}

} // namespace

class TextHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = bytesToText(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256); // no two bytes alike
        QVERIFY(isRepresentable(text));
        QCOMPARE(textToBytes(text), all);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x8D), QChar(0x8D));
        QCOMPARE(text.at(0xE9), QChar(0xE9));
    }

    void encodes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("representable");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("C1 0x80 has no byte") << QString(QChar(0x80)) << false << QByteArray("?");
        QTest::newRow("greek") << QString::fromUtf16(u"a\u03A9b") << false << QByteArray("a?b");
        QTest::newRow("outside the basic plane is one character")
            << QString::fromUtf16(u"x\U0001F600y") << false << QByteArray("x?y");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false << QByteArray("?");
    }

    void encodes()
    {
        QFETCH(QString, text);
        QFETCH(bool, representable);
        QFETCH(QByteArray, bytes);
        QCOMPARE(isRepresentable(text), representable);
        QCOMPARE(textToBytes(text), bytes);
    }

    void convertsNumbers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        // Each group converts to the number it names. Texts not beginning with a number give 0;
        // blanks, tabs and line feeds anywhere are ignored; the longest leading number is taken
        // (a comma, a bare E or a D ends it); exact halves go to the even neighbour, which
        // needs exact decimal arithmetic even with exponents and far digits.
        converts(0, {"", "abc", "-", "-&H10", "&H", ".5", "-.5", "0.5000000000000000000000",
                     "7E-99999999999999999999999999"});
        converts(1, {"1,5", "1D2", "0.5000000000000000000001"});
        converts(2, {"2.5", "25E-1", "0.15E1"});
        converts(3, {"+3", "2.50001"});
        converts(4, {"3.5"});
        converts(-2, {"-2.5"});
        converts(12, {"12x", "12E", "\t1\n2", "000000000000000000000012"});
        converts(100, {"1e2"});
        converts(250, {"250ms"});
        converts(1000, {"1 000"});
        converts(15, {"&O17", "&O178"});
        converts(31, {"&H1F", "&h1f", "&H 1 F", "&H1FG", "&H00000000000000001F"});
        converts(32766, {"32766.5"});
        converts(32767, {"32767", "&H7FFF"});
        converts(-32768, {"-32768", "-32768.5"});
        // Results outside -32768..32767 fail; &HFFFF is not -1.
        converts(Fails, {"32768", "-32769", "32767.5", "9E9", "1E99999999999999999999", "&H8000",
                         "&HFFFF", "&HFFFFFFFFFFFFFFFFFFFFFFFF"});
        // Texts of tens of megabytes convert without overflow.
        conversion("many zeros then 7", QByteArray(Big, '0') + '7', 7);
        conversion("many digits", '1' + QByteArray(Big, '0'), Fails);
        conversion("half then far digit", "2.5" + QByteArray(Big, '0') + '1', 3);
        conversion("long fraction scaled back",
                   "0." + QByteArray(Big, '0') + "42E" + QByteArray::number(Big + 2), 42);
        conversion("long exponent", "1E" + QByteArray(Big, '9'), Fails);
    }

    void convertsNumbers()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QElapsedTimer timer;
        timer.start();
        const std::optional<qint16> result = convertNumber(text);
        if (expected == Fails) {
            QVERIFY2(!result, qPrintable(QString::number(result.value_or(0))));
        } else {
            QVERIFY(result);
            QCOMPARE(int(*result), expected);
        }
        // Linear time even for tens of megabytes; generous for sanitizer builds.
        QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    }

    void readsFields_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<QByteArray>("endings");
        // Separators and line ends
        fields("empty data", "", {}, "");
        fields("no line end", "a,b", {"a", "b"}, ",|");
        fields("CR LF at end", "a,b\r\n", {"a", "b"}, ",|");
        fields("every line end", "a\rb\nc\r\nd", {"a", "b", "c", "d"}, "||||");
        fields("empty lines CR LF", "\r\n\r\n", {"", ""}, "||");
        fields("empty lines CR", "\r\r", {"", ""}, "||");
        fields("LF CR is two line ends", "\n\r", {"", ""}, "||");
        fields("empty between commas", "a,,b", {"a", "", "b"}, ",,|");
        fields("comma at end of data", "a,", {"a"}, ",");
        // Unquoted fields
        fields("blanks kept", "  a  ,  b  ", {"  a  ", "  b  "}, ",|");
        fields("quote inside unquoted", "a\"b\"c,d", {"a\"b\"c", "d"}, ",|");
        fields("blank before quote", " \"a,b\"", {" \"a", "b\""}, ",|");
        fields("NUL bytes", QByteArray("a\0b,\0\r\n", 7),
               {QByteArray("a\0b", 3), QByteArray(1, '\0')}, ",|");
        // Quoted fields
        fields("comma inside quotes", "\"a,b\"", {"a,b"}, "|");
        fields("line ends inside quotes", "\"1\r\n2\n3\r4\"\r\nx", {"1\r\n2\n3\r4", "x"}, "||");
        fields("doubled quotes", "\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}, ",|");
        fields("empty quoted", "\"\",x", {"", "x"}, ",|");
        fields("only a quote", "\"\"\"\"", {"\""}, "|");
        fields("text after closing quote", "\"ab\"cd,e", {"abcd", "e"}, ",|");
        fields("quote after closing quote is ordinary", "\"a\"b\"c\",d", {"ab\"c\"", "d"}, ",|");
        fields("unclosed quote runs to the end", "\"open,\r\nrest", {"open,\r\nrest"}, "|");
        fields("unclosed after doubled quote", "\"a\"\"", {"a\""}, "|");
        // The data arrives in chunks: a CR LF pair or a doubled quote split between two chunks
        // still counts as one.
        for (int filler : {65534, 65535, 65536}) {
            const QByteArray x(filler, 'x');
            QTest::addRow("CR LF after %d", filler)
                << x + "\r\nb" << QByteArrayList{x, "b"} << QByteArray("||");
            QTest::addRow("doubled quote after %d", filler)
                << '"' + x + "\"\"y\",z" << QByteArrayList{x + "\"y", "z"} << QByteArray(",|");
            QTest::addRow("closing quote after %d", filler)
                << '"' + x + "\"\r\nz" << QByteArrayList{x, "z"} << QByteArray("||");
        }
        // Huge lines, plain and quoted with a doubled quote in the middle
        const QByteArray half(Big / 2, 'q');
        fields("huge lines", QByteArray(Big, 'x') + "\r\n\"" + half + "\"\"" + half + "\"\r\nend",
               {QByteArray(Big, 'x'), half + '"' + half, "end"}, "|||");
    }

    void readsFields()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArrayList, expected);
        QFETCH(QByteArray, endings);
        QElapsedTimer timer;
        timer.start();
        QByteArray gotEndings;
        QCOMPARE(readAll(input, gotEndings), expected);
        QCOMPARE(gotEndings, endings);
        QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_APPLESS_MAIN(TextHelpersTest)
#include "text_helpers_test.moc"
