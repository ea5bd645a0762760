#include "fake_list.h"
#include "message_table.h"

#include <QTest>

using namespace norvane;
using norvane::test::FakeList;

namespace {

struct Fixture
{
    Fixture() { ClearMessages(Messages, list); }
    MessageTable Messages;
    FakeList list;
};

} // namespace

class TestMessageTable : public QObject
{
    Q_OBJECT

private slots:
    void clearedListLines_data();
    void clearedListLines();
    void clearEmptiesEveryEntry();
    void modify_data();
    void modify();
    void modifyWithoutMessage_data();
    void modifyWithoutMessage();
    void split_data();
    void split();
    void splitWithoutMessage_data();
    void splitWithoutMessage();
    void splitThenModifyFillsOut();
    void goToNumber_data();
    void goToNumber();
};

void TestMessageTable::clearedListLines_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("0") << 0 << QByteArray("  0: ");
    QTest::newRow("9") << 9 << QByteArray("  9: ");
    QTest::newRow("10") << 10 << QByteArray(" 10: ");
    QTest::newRow("100") << 100 << QByteArray("100: ");
    QTest::newRow("999") << 999 << QByteArray("999: ");
}

void TestMessageTable::clearedListLines()
{
    QFETCH(int, number);
    QFETCH(QByteArray, line);
    Fixture f;
    QCOMPARE(f.list.lines.size(), MessageCount);
    QCOMPARE(f.list.lines.at(number), line);
    QCOMPARE(f.list.topLine, 0);
}

// A rebuild shows the table as it is and scrolls to the top; clearing also empties it.
void TestMessageTable::clearEmptiesEveryEntry()
{
    Fixture f;
    ModifyMessage(f.Messages, f.list, 12, "twelve", "");
    f.Messages[999] = "loaded";
    f.list.setTopLine(300);
    RefreshList(f.Messages, f.list);
    QCOMPARE(f.list.lines.size(), MessageCount);
    QCOMPARE(f.list.lines.at(12), " 12: twelve" + QByteArray(26, ' '));
    QCOMPARE(f.list.lines.at(999), QByteArray("999: loaded"));
    QCOMPARE(f.list.topLine, 0);

    ClearMessages(f.Messages, f.list);
    for (const QByteArray &entry : f.Messages)
        QVERIFY(entry.isEmpty());
    QCOMPARE(f.list.lines.size(), MessageCount);
    QCOMPARE(f.list.lines.at(12), QByteArray(" 12: "));
    QCOMPARE(f.list.lines.at(999), QByteArray("999: "));
}

void TestMessageTable::modify_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QByteArray>("entry");

    const QByteArray blanks16(16, ' ');
    QTest::newRow("first line only")
        << 3 << QByteArray("HELLO") << QByteArray() << "HELLO" + QByteArray(27, ' ');
    QTest::newRow("both empty") << 5 << QByteArray() << QByteArray() << QByteArray(32, ' ');
    QTest::newRow("long first line cut")
        << 0 << QByteArray("ABCDEFGHIJKLMNOPQRST") << QByteArray("x")
        << "ABCDEFGHIJKLMNOP" + QByteArray("x") + QByteArray(15, ' ');
    QTest::newRow("long second line cut")
        << 999 << QByteArray("a") << QByteArray("0123456789abcdefXYZ")
        << "a" + QByteArray(15, ' ') + "0123456789abcdef";
}

void TestMessageTable::modify()
{
    QFETCH(int, index);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, entry);

    Fixture f;
    const QByteArrayList before = f.list.lines;
    ModifyMessage(f.Messages, f.list, qint16(index), first, second);

    QCOMPARE(f.Messages[index], entry);
    const QByteArray number = QByteArray::number(index).rightJustified(3, ' ');
    QCOMPARE(f.list.lines.at(index), number + ": " + entry);
    QCOMPARE(f.list.lines.at(index).size(), 37);
    QCOMPARE(f.list.replacements, 1);
    for (int i = 0; i < MessageCount; ++i) {
        if (i != index)
            QCOMPARE(f.list.lines.at(i), before.at(i));
    }
}

void TestMessageTable::modifyWithoutMessage_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("no current line") << -1;
    QTest::newRow("past the last message") << 1000;
    QTest::newRow("highest") << 32767;
}

void TestMessageTable::modifyWithoutMessage()
{
    QFETCH(int, index);
    Fixture f;
    const MessageTable before = f.Messages;
    ModifyMessage(f.Messages, f.list, qint16(index), "A", "B");
    QVERIFY(f.Messages == before);
    QCOMPARE(f.list.replacements, 0);
}

void TestMessageTable::split_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");

    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("loaded short") << QByteArray("ABC") << QByteArray("ABC") << QByteArray();
    QTest::newRow("leading blanks") << QByteArray("  HI") << QByteArray("  HI") << QByteArray();
    QTest::newRow("20 characters") << QByteArray("0123456789abcdefWXYZ")
                                   << QByteArray("0123456789abcdef") << QByteArray("WXYZ");
    QTest::newRow("filled out") << "HELLO" + QByteArray(27, ' ') << "HELLO" + QByteArray(11, ' ')
                                << QByteArray(16, ' ');
}

void TestMessageTable::split()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    Fixture f;
    f.Messages[7] = entry;
    const std::optional<DisplayLines> lines = SplitMessage(f.Messages, 7);
    QVERIFY(lines);
    QCOMPARE(lines->first, first);
    QCOMPARE(lines->second, second);
}

void TestMessageTable::splitWithoutMessage_data()
{
    modifyWithoutMessage_data();
}

void TestMessageTable::splitWithoutMessage()
{
    QFETCH(int, index);
    Fixture f;
    QVERIFY(!SplitMessage(f.Messages, qint16(index)));
}

void TestMessageTable::splitThenModifyFillsOut()
{
    Fixture f;
    f.Messages[4] = "ABC";
    const std::optional<DisplayLines> lines = SplitMessage(f.Messages, 4);
    QVERIFY(lines);
    ModifyMessage(f.Messages, f.list, 4, lines->first, lines->second);
    QCOMPARE(f.Messages[4], "ABC" + QByteArray(29, ' '));
}

void TestMessageTable::goToNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("topLine"); // -1: the list is not scrolled

    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("3.5") << QByteArray("3.5") << 4;
    QTest::newRow("999") << QByteArray("999") << 999;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("past the last line") << QByteArray("1000") << -1;
    QTest::newRow("9E9 does not convert") << QByteArray("9E9") << -1;
}

void TestMessageTable::goToNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(int, topLine);
    Fixture f;
    const QByteArrayList before = f.list.lines;
    f.list.topLine = 500;
    f.list.topLineCalls = 0;
    GoToNumber(f.list, text);
    if (topLine < 0) {
        QCOMPARE(f.list.topLineCalls, 0);
        QCOMPARE(f.list.topLine, 500);
    } else {
        QCOMPARE(f.list.topLineCalls, 1);
        QCOMPARE(f.list.topLine, topLine);
    }
    QCOMPARE(f.list.lines, before);
    QCOMPARE(f.list.replacements, 0);
}

QTEST_APPLESS_MAIN(TestMessageTable)
#include "test_message_table.moc"
