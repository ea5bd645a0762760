#include "charset.h"
#include "fixed_width.h"

#include <QTest>

using namespace norvane;

class TestTextHelpers : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips();
    void decodes_data();
    void decodes();
    void encodes_data();
    void encodes();
    void fixedWidth_data();
    void fixedWidth();
};

void TestTextHelpers::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = bytesToText(all);
    QCOMPARE(text.size(), 256);
    QVERIFY(isRepresentable(text));
    QCOMPARE(textToBytes(text), all);
    // Two different bytes never decode to the same character.
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
}

void TestTextHelpers::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << QByteArray("Hello, 1!") << QStringLiteral("Hello, 1!");
    QTest::newRow("nul") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\u0000b", 3);
    QTest::newRow("euro") << QByteArray("\x80") << QString(QChar(0x20AC));
    QTest::newRow("quotes") << QByteArray("\x93x\x94") << QString::fromUtf16(u"\u201Cx\u201D");
    QTest::newRow("unassigned 0x81") << QByteArray("\x81") << QString(QChar(0x81));
    QTest::newRow("unassigned 0x9d") << QByteArray("\x9d") << QString(QChar(0x9D));
    QTest::newRow("Y diaeresis") << QByteArray("\x9f") << QString(QChar(0x178));
    QTest::newRow("latin-1 range") << QByteArray("\xe9\xff") << QString::fromUtf16(u"\u00E9\u00FF");
}

void TestTextHelpers::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(bytesToText(bytes), text);
}

void TestTextHelpers::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("representable");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << QStringLiteral("abc") << true << QByteArray("abc");
    QTest::newRow("euro") << QString(QChar(0x20AC)) << true << QByteArray("\x80");
    QTest::newRow("trade mark") << QString(QChar(0x2122)) << true << QByteArray("\x99");
    QTest::newRow("C1 0x80 has no byte") << QString(QChar(0x80)) << false << QByteArray("?");
    QTest::newRow("C1 0x9f has no byte") << QString(QChar(0x9F)) << false << QByteArray("?");
    QTest::newRow("greek") << QString::fromUtf16(u"a\u03A9b") << false << QByteArray("a?b");
    QTest::newRow("outside the basic plane is one character")
        << QString::fromUtf16(u"x\U0001F600y") << false << QByteArray("x?y");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << false << QByteArray("?");
}

void TestTextHelpers::encodes()
{
    QFETCH(QString, text);
    QFETCH(bool, representable);
    QFETCH(QByteArray, bytes);
    QCOMPARE(isRepresentable(text), representable);
    QCOMPARE(textToBytes(text), bytes);
}

void TestTextHelpers::fixedWidth_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << QByteArray() << 16 << QByteArray(16, ' ');
    QTest::newRow("short") << QByteArray("HELLO") << 16 << QByteArray("HELLO           ");
    QTest::newRow("exact") << QByteArray("0123456789ABCDEF") << 16
                           << QByteArray("0123456789ABCDEF");
    QTest::newRow("long") << QByteArray("0123456789ABCDEFGHIJ") << 16
                          << QByteArray("0123456789ABCDEF");
    QTest::newRow("leading blanks kept") << QByteArray("  HI") << 6 << QByteArray("  HI  ");
    QTest::newRow("width 0") << QByteArray("abc") << 0 << QByteArray();
    QTest::newRow("negative width") << QByteArray("abc") << -3 << QByteArray();
}

void TestTextHelpers::fixedWidth()
{
    QFETCH(QByteArray, text);
    QFETCH(int, width);
    QFETCH(QByteArray, expected);
    QCOMPARE(norvane::fixedWidth(text, width), expected);
}

QTEST_APPLESS_MAIN(TestTextHelpers)
#include "test_text_helpers.moc"
