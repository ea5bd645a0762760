#include "number_conversion.h"

#include <QTest>

using norvane::convertNumber;

namespace {

using Result = std::optional<qint16>;
constexpr int Fails = 100000; // marker in the tables: the conversion must fail

} // namespace

class TestNumberConversion : public QObject
{
    Q_OBJECT

private slots:
    void converts_data();
    void converts();
    void hugeTexts_data();
    void hugeTexts();
};

void TestNumberConversion::converts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");

    // Texts without a number
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("letters") << QByteArray("abc") << 0;
    QTest::newRow("sign only") << QByteArray("-") << 0;
    QTest::newRow("sign before hex") << QByteArray("-&H10") << 0;

    // Longest leading number
    QTest::newRow("trailing letters") << QByteArray("12x") << 12;
    QTest::newRow("unit") << QByteArray("250ms") << 250;
    QTest::newRow("comma") << QByteArray("1,5") << 1;
    QTest::newRow("bare E") << QByteArray("12E") << 12;
    QTest::newRow("D is no exponent") << QByteArray("1D2") << 1;
    QTest::newRow("plus sign") << QByteArray("+3") << 3;
    QTest::newRow("leading zeros") << QByteArray("000000000000000000000012") << 12;

    // Blanks, tabs and line feeds anywhere
    QTest::newRow("blank inside") << QByteArray("1 000") << 1000;
    QTest::newRow("tab and line feed") << QByteArray("\t1\n2") << 12;
    QTest::newRow("blanks in hex") << QByteArray("&H 1 F") << 31;

    // Rounding: exact halves go to the even neighbour
    QTest::newRow("2.5") << QByteArray("2.5") << 2;
    QTest::newRow("3.5") << QByteArray("3.5") << 4;
    QTest::newRow("100.5") << QByteArray("100.5") << 100;
    QTest::newRow(".5") << QByteArray(".5") << 0;
    QTest::newRow("-.5") << QByteArray("-.5") << 0;
    QTest::newRow("-2.5") << QByteArray("-2.5") << -2;
    QTest::newRow("just above half") << QByteArray("2.50001") << 3;
    QTest::newRow("far digit above half") << QByteArray("0.5000000000000000000001") << 1;
    QTest::newRow("half with trailing zeros") << QByteArray("0.5000000000000000000000") << 0;

    // Exponents
    QTest::newRow("1e2") << QByteArray("1e2") << 100;
    QTest::newRow("negative exponent") << QByteArray("25E-1") << 2;
    QTest::newRow("exponent moves half") << QByteArray("0.15E1") << 2;
    QTest::newRow("huge negative exponent") << QByteArray("7E-99999999999999999999999999") << 0;
    QTest::newRow("huge exponent") << QByteArray("1E99999999999999999999") << Fails;
    QTest::newRow("9E9") << QByteArray("9E9") << Fails;
    QTest::newRow("1e5") << QByteArray("1e5") << Fails;

    // Range limits
    QTest::newRow("32767") << QByteArray("32767") << 32767;
    QTest::newRow("32768") << QByteArray("32768") << Fails;
    QTest::newRow("-32768") << QByteArray("-32768") << -32768;
    QTest::newRow("-32769") << QByteArray("-32769") << Fails;
    QTest::newRow("32766.5") << QByteArray("32766.5") << 32766;
    QTest::newRow("32767.5 rounds out") << QByteArray("32767.5") << Fails;
    QTest::newRow("-32768.5 rounds in") << QByteArray("-32768.5") << -32768;

    // Hexadecimal and octal
    QTest::newRow("&H1F") << QByteArray("&H1F") << 31;
    QTest::newRow("&h1f") << QByteArray("&h1f") << 31;
    QTest::newRow("&O17") << QByteArray("&O17") << 15;
    QTest::newRow("hex stops at non-digit") << QByteArray("&H1FG") << 31;
    QTest::newRow("octal stops at 8") << QByteArray("&O178") << 15;
    QTest::newRow("hex without digits") << QByteArray("&H") << 0;
    QTest::newRow("hex leading zeros") << QByteArray("&H00000000000000001F") << 31;
    QTest::newRow("&H7FFF") << QByteArray("&H7FFF") << 32767;
    QTest::newRow("&H8000") << QByteArray("&H8000") << Fails;
    QTest::newRow("&HFFFF is not -1") << QByteArray("&HFFFF") << Fails;
    QTest::newRow("long hex") << QByteArray("&HFFFFFFFFFFFFFFFFFFFFFFFF") << Fails;
}

void TestNumberConversion::converts()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const Result result = convertNumber(text);
    if (expected == Fails) {
        QVERIFY2(!result, qPrintable(QString::number(result.value_or(0))));
    } else {
        QVERIFY(result);
        QCOMPARE(int(*result), expected);
    }
}

// Texts of tens of megabytes must convert in linear time and without overflow.
void TestNumberConversion::hugeTexts_data()
{
    constexpr qsizetype Big = 50 * 1024 * 1024;
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("many zeros then 7") << QByteArray(Big, '0') + '7' << 7;
    QTest::newRow("many digits") << '1' + QByteArray(Big, '0') << Fails;
    QTest::newRow("half then far digit") << "2.5" + QByteArray(Big, '0') + '1' << 3;
    QTest::newRow("long fraction scaled back")
        << "0." + QByteArray(Big, '0') + "42E" + QByteArray::number(Big + 2) << 42;
    QTest::newRow("long exponent") << "1E" + QByteArray(Big, '9') << Fails;
}

void TestNumberConversion::hugeTexts()
{
    converts();
}

QTEST_APPLESS_MAIN(TestNumberConversion)
#include "test_number_conversion.moc"
