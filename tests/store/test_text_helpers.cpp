#include "charset.h"

#include <QSet>
#include <QTest>

using namespace norvane;

class TestTextHelpers : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips();
    void encodes_data();
    void encodes();
};

void TestTextHelpers::everyByteRoundTrips()
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

void TestTextHelpers::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("representable");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("ascii") << QStringLiteral("abc") << true << QByteArray("abc");
    QTest::newRow("trade mark") << QString(QChar(0x2122)) << true << QByteArray("\x99");
    QTest::newRow("C1 0x80 has no byte") << QString(QChar(0x80)) << false << QByteArray("?");
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

QTEST_APPLESS_MAIN(TestTextHelpers)
#include "test_text_helpers.moc"
