#include "field_reader.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTest>

using norvane::FieldReader;

namespace {

// Every field of the device, and for each how it ended: ',' for a comma, '|' for a line end
// or the end of the device.
struct Fields
{
    QByteArrayList fields;
    QByteArray endings;
};

Fields readAll(QIODevice &device, int limit = 1000)
{
    Fields result;
    FieldReader reader(device);
    QByteArray field;
    while (result.fields.size() < limit && reader.readField(field)) {
        result.fields.append(field);
        result.endings.append(reader.lastFieldEndedLine() ? '|' : ',');
    }
    if (result.fields.size() < limit) {
        // A failure leaves the field empty and stays a failure.
        [&] {
            QVERIFY(field.isEmpty());
            QVERIFY(!reader.readField(field));
        }();
    }
    return result;
}

Fields readAll(const QByteArray &bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return readAll(buffer);
}

} // namespace

class TestFieldReader : public QObject
{
    Q_OBJECT

private slots:
    void fields_data();
    void fields();
    void separatorsAcrossChunks_data();
    void separatorsAcrossChunks();
    void hugeLines();
};

void TestFieldReader::fields_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<QByteArray>("endings");

    using L = QByteArrayList;
    // Separators and line ends
    QTest::newRow("empty device") << QByteArray() << L{} << QByteArray();
    QTest::newRow("no line end") << QByteArray("a,b") << L{"a", "b"} << QByteArray(",|");
    QTest::newRow("CR LF at end") << QByteArray("a,b\r\n") << L{"a", "b"} << QByteArray(",|");
    QTest::newRow("every line end")
        << QByteArray("a\rb\nc\r\nd") << L{"a", "b", "c", "d"} << QByteArray("||||");
    QTest::newRow("empty lines CR LF") << QByteArray("\r\n\r\n") << L{"", ""} << QByteArray("||");
    QTest::newRow("empty lines CR") << QByteArray("\r\r") << L{"", ""} << QByteArray("||");
    QTest::newRow("LF CR is two line ends") << QByteArray("\n\r") << L{"", ""} << QByteArray("||");
    QTest::newRow("empty between commas")
        << QByteArray("a,,b") << L{"a", "", "b"} << QByteArray(",,|");
    QTest::newRow("comma at end of device") << QByteArray("a,") << L{"a"} << QByteArray(",");
    QTest::newRow("empty line in the middle")
        << QByteArray("a\r\n\r\nb\r\n") << L{"a", "", "b"} << QByteArray("|||");

    // Unquoted fields
    QTest::newRow("blanks kept") << QByteArray("  a  ,  b  ") << L{"  a  ", "  b  "}
                                 << QByteArray(",|");
    QTest::newRow("quote inside unquoted")
        << QByteArray("a\"b\"c,d") << L{"a\"b\"c", "d"} << QByteArray(",|");
    QTest::newRow("blank before quote")
        << QByteArray(" \"a,b\"") << L{" \"a", "b\""} << QByteArray(",|");
    QTest::newRow("NUL bytes") << QByteArray("a\0b,\0\r\n", 7)
                               << L{QByteArray("a\0b", 3), QByteArray(1, '\0')} << QByteArray(",|");

    // Quoted fields
    QTest::newRow("comma inside quotes") << QByteArray("\"a,b\"") << L{"a,b"} << QByteArray("|");
    QTest::newRow("line ends inside quotes")
        << QByteArray("\"1\r\n2\n3\r4\"\r\nx") << L{"1\r\n2\n3\r4", "x"} << QByteArray("||");
    QTest::newRow("doubled quotes")
        << QByteArray("\"say \"\"hi\"\"\",x") << L{"say \"hi\"", "x"} << QByteArray(",|");
    QTest::newRow("empty quoted") << QByteArray("\"\",x") << L{"", "x"} << QByteArray(",|");
    QTest::newRow("only a quote") << QByteArray("\"\"\"\"") << L{"\""} << QByteArray("|");
    QTest::newRow("text after closing quote")
        << QByteArray("\"ab\"cd,e") << L{"abcd", "e"} << QByteArray(",|");
    QTest::newRow("quote after closing quote is ordinary")
        << QByteArray("\"a\"b\"c\",d") << L{"ab\"c\"", "d"} << QByteArray(",|");
    QTest::newRow("unclosed quote runs to the end")
        << QByteArray("\"open,\r\nrest") << L{"open,\r\nrest"} << QByteArray("|");
    QTest::newRow("unclosed after doubled quote")
        << QByteArray("\"a\"\"") << L{"a\""} << QByteArray("|");
}

void TestFieldReader::fields()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, expected);
    QFETCH(QByteArray, endings);
    const Fields got = readAll(input);
    QCOMPARE(got.fields, expected);
    QCOMPARE(got.endings, endings);
}

// The reader fetches the device in chunks; a CR LF pair or a doubled quote split between two
// chunks must still count as one.
void TestFieldReader::separatorsAcrossChunks_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArrayList>("expected");

    for (int filler : {65534, 65535, 65536}) {
        const QByteArray x(filler, 'x');
        QTest::addRow("CR LF after %d", filler) << x + "\r\nb" << QByteArrayList{x, "b"};
        QTest::addRow("doubled quote after %d", filler)
            << '"' + x + "\"\"y\",z" << QByteArrayList{x + "\"y", "z"};
        QTest::addRow("closing quote after %d", filler)
            << '"' + x + "\"\r\nz" << QByteArrayList{x, "z"};
    }
}

void TestFieldReader::separatorsAcrossChunks()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArrayList, expected);
    QCOMPARE(readAll(input).fields, expected);
}

void TestFieldReader::hugeLines()
{
    constexpr qsizetype Big = 50 * 1024 * 1024;
    QElapsedTimer timer;
    timer.start();

    QByteArray line(Big, 'x');
    QByteArray quoted = '"' + QByteArray(Big / 2, 'q') + "\"\"" + QByteArray(Big / 2, 'q') + '"';
    const Fields got = readAll(line + "\r\n" + quoted + "\r\nend");
    QCOMPARE(got.fields.size(), 3);
    QCOMPARE(got.fields[0], line);
    QCOMPARE(got.fields[1].size(), Big + 1);
    QCOMPARE(got.fields[1].at(Big / 2), '"');
    QCOMPARE(got.fields[2], QByteArray("end"));
    // Linear time: well under a second normally; generous for sanitizer builds.
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_APPLESS_MAIN(TestFieldReader)
#include "test_field_reader.moc"
