#include "fake_dialogs.h"
#include "fake_list.h"
#include "message_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

const QString ReadError = QStringLiteral("Error while reading data from file: ");
const QString WriteError = QStringLiteral("Error while writing data to file: ");

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                               QDir::System);
}

// Lines "line 0" .. "line <n-1>", each ended by `end`.
QByteArray numberedLines(int n, const QByteArray &end = "\r\n")
{
    QByteArray bytes;
    for (int k = 0; k < n; ++k)
        bytes += "line " + QByteArray::number(k) + end;
    return bytes;
}

// The main window's part as the two operations see it: table, list, dialog and message box.
struct Window
{
    Window()
    {
        Messages.fill(QByteArray("old"));
        RefreshList(Messages, list);
        list.clears = 0;
    }
    MessageTable Messages;
    FakeList list;
    FakeFileDialog dialog;
    FakeMessageBox messageBox;

    void load(const std::optional<QString> &name)
    {
        dialog.answer = name;
        LoadMessageFile(Messages, list, dialog, messageBox);
    }
    void save(const std::optional<QString> &name)
    {
        dialog.answer = name;
        SaveMessageFile(Messages, dialog, messageBox);
    }
};

using Checks = QList<QPair<int, QByteArray>>;

} // namespace

class TestMessageFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fileLine_data();
    void fileLine();
    void saveAfterClearIsEmptyLines();
    void roundTripKeepsEveryEntry();
    void load_data();
    void load();
    void loadFailureShowsName_data();
    void loadFailureShowsName();
    void cancelDoesNothing();
    void emptyFileName();
    void saveFailureShowsName_data();
    void saveFailureShowsName();
    void failedWriteKeepsEarlierFile();
    void hugeLine();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
};

void TestMessageFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMessageFile::fileLine_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("plain") << QByteArray("HELLO") << QByteArray("HELLO");
    QTest::newRow("blanks kept") << QByteArray("  HI   ") << QByteArray("  HI   ");
    QTest::newRow("comma") << QByteArray("A,B") << QByteArray("\"A,B\"");
    QTest::newRow("quotes doubled") << QByteArray("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("only a quote") << QByteArray("\"") << QByteArray("\"\"\"\"");
    QTest::newRow("CR") << QByteArray("a\rb") << QByteArray("\"a\rb\"");
    QTest::newRow("LF") << QByteArray("a\nb") << QByteArray("\"a\nb\"");
    QTest::newRow("NUL is plain") << QByteArray("a\0b", 3) << QByteArray("a\0b", 3);
}

void TestMessageFile::fileLine()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, line);
    QCOMPARE(messageFileLine(entry), line);
}

void TestMessageFile::saveAfterClearIsEmptyLines()
{
    const QString name = path("messages.txt");
    writeBytes(name, QByteArray(100000, 'z')); // an earlier, longer file is replaced whole
    Window w;
    ClearMessages(w.Messages, w.list);
    w.save(name);
    QCOMPARE(w.dialog.saves, 1);
    QVERIFY(w.messageBox.texts.isEmpty());
    QCOMPARE(readBytes(name), QByteArray("\r\n").repeated(1000));
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"messages.txt"});
    QCOMPARE(w.list.clears, 1); // saving does not rebuild the list

    Window other;
    other.load(name);
    QVERIFY(other.messageBox.texts.isEmpty());
    for (const QByteArray &entry : other.Messages)
        QVERIFY(entry.isEmpty());
}

// Whatever bytes the entries hold, a save followed by a load gives back the same table.
void TestMessageFile::roundTripKeepsEveryEntry()
{
    Window w;
    const QByteArrayList tricky = {"A,B",
                                   "\"",
                                   "\"\"",
                                   "\"quoted\"",
                                   "say \"hi\", then go",
                                   "a\r\nb",
                                   "\r",
                                   "\n",
                                   "  lead",
                                   "trail  ",
                                   ",",
                                   ",,,",
                                   QByteArray("\0\0", 2),
                                   "\xff\x80\x81",
                                   QByteArray(32, '"'),
                                   QByteArray(32, ','),
                                   "x\"",
                                   "\"x",
                                   "",
                                   QByteArray(32, ' ')};
    for (int k = 0; k < tricky.size(); ++k)
        w.Messages[k] = tricky[k];
    // The rest: random entries over the bytes that matter to the file format.
    const QByteArray alphabet("a ,\"\r\n\t\0\xff", 9);
    QRandomGenerator random(20240611);
    for (int k = tricky.size(); k < MessageCount; ++k) {
        QByteArray entry;
        const int length = random.bounded(EntryLength + 1);
        for (int i = 0; i < length; ++i)
            entry.append(alphabet.at(random.bounded(alphabet.size())));
        w.Messages[k] = entry;
    }
    w.Messages[999] = "last,";

    const QString name = path("tricky.txt");
    w.save(name);
    QVERIFY(w.messageBox.texts.isEmpty());

    Window other;
    other.load(name);
    QVERIFY(other.messageBox.texts.isEmpty());
    for (int k = 0; k < MessageCount; ++k)
        QCOMPARE(other.Messages[k], w.Messages[k]);
    QCOMPARE(other.list.lines.at(999), QByteArray("999: last,"));
}

void TestMessageFile::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("replaced"); // entries from here on keep their old contents
    QTest::addColumn<Checks>("checks");

    QTest::newRow("1000 lines") << numberedLines(1000) << 1000
                                << Checks{{0, "line 0"}, {999, "line 999"}};
    QTest::newRow("999 lines") << numberedLines(999) << 999
                               << Checks{{0, "line 0"}, {998, "line 998"}};
    QTest::newRow("1200 lines") << numberedLines(1200) << 1000 << Checks{{999, "line 999"}};
    QTest::newRow("LF line ends") << numberedLines(1000, "\n") << 1000
                                  << Checks{{1, "line 1"}, {999, "line 999"}};
    QTest::newRow("empty file") << QByteArray() << 0 << Checks{};
    QTest::newRow("40 characters cut to 32")
        << QByteArray(40, 'x') + "\r\n" + numberedLines(999) << 1000
        << Checks{{0, QByteArray(32, 'x')}, {1, "line 0"}};
    // A file written without quoting: a comma splits the line and later lines move down.
    QTest::newRow("unquoted comma splits")
        << numberedLines(5) + "A,B\r\n" + numberedLines(994) << 1000
        << Checks{{4, "line 4"}, {5, "A"}, {6, "B"}, {7, "line 0"}, {999, "line 992"}};
    QTest::newRow("quoted comma stays")
        << numberedLines(5) + "\"A,B\"\r\n" + numberedLines(994) << 1000
        << Checks{{5, "A,B"}, {6, "line 0"}, {999, "line 993"}};
    QTest::newRow("empty line in the middle")
        << numberedLines(3) + "\r\n" + numberedLines(996) << 1000
        << Checks{{2, "line 2"}, {3, ""}, {4, "line 0"}, {999, "line 995"}};
    QTest::newRow("unclosed quote")
        << numberedLines(10) + "\"open\r\nrest" << 11 << Checks{{10, "open\r\nrest"}};
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n", 5).repeated(1000) << 1000
                               << Checks{{0, QByteArray("a\0b", 3)}, {999, QByteArray("a\0b", 3)}};
}

void TestMessageFile::load()
{
    QFETCH(QByteArray, content);
    QFETCH(int, replaced);
    QFETCH(Checks, checks);

    const QString name = path("messages.txt");
    writeBytes(name, content);
    Window w;
    w.load(name);

    if (replaced == MessageCount)
        QCOMPARE(w.messageBox.texts, QStringList());
    else
        QCOMPARE(w.messageBox.texts, QStringList{ReadError + name});
    for (const auto &[k, entry] : checks)
        QCOMPARE(w.Messages[k], entry);
    for (int k = replaced; k < MessageCount; ++k)
        QCOMPARE(w.Messages[k], QByteArray("old"));
    // The list is rebuilt on success and on failure alike.
    QCOMPARE(w.list.clears, 1);
    QCOMPARE(w.list.lines.size(), MessageCount);
    QCOMPARE(w.list.lines.at(999), FormatListLine(w.Messages[999], 999));
}

void TestMessageFile::loadFailureShowsName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("unreadable file") << "unreadable";
    QTest::newRow("read error") << "read error";
}

void TestMessageFile::loadFailureShowsName()
{
    QFETCH(QString, kind);
    QString name = path("missing.txt");
    if (kind == "directory") {
        name = path("folder");
        QVERIFY(QDir().mkdir(name));
    } else if (kind == "unreadable") {
        if (geteuid() == 0)
            QSKIP("root can read a file without read permission");
        name = path("locked.txt");
        writeBytes(name, numberedLines(1000));
        QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));
    } else if (kind == "read error") {
        // Opens fine, but reading its first bytes fails (unmapped address 0).
        name = QStringLiteral("/proc/self/mem");
        if (!QFile::exists(name))
            QSKIP("no /proc/self/mem here");
    }

    Window w;
    w.load(name);
    QCOMPARE(w.messageBox.texts, QStringList{ReadError + name});
    QVERIFY(QDir::isAbsolutePath(name));
    for (const QByteArray &entry : w.Messages)
        QCOMPARE(entry, QByteArray("old"));
    QCOMPARE(w.list.clears, 1);
    QCOMPARE(w.list.lines.size(), MessageCount);
}

void TestMessageFile::cancelDoesNothing()
{
    Window w;
    w.load(std::nullopt);
    w.save(std::nullopt);
    QCOMPARE(w.dialog.opens, 1);
    QCOMPARE(w.dialog.saves, 1);
    QVERIFY(w.messageBox.texts.isEmpty());
    QCOMPARE(w.list.clears, 0);
    QCOMPARE(w.Messages[0], QByteArray("old"));
    QVERIFY(entriesOf(m_dir->path()).isEmpty());
}

void TestMessageFile::emptyFileName()
{
    Window w;
    w.load(QString());
    QVERIFY(w.messageBox.texts.isEmpty());
    QCOMPARE(w.list.clears, 1); // the list is rebuilt, nothing is read
    QCOMPARE(w.Messages[0], QByteArray("old"));

    w.save(QString());
    QVERIFY(w.messageBox.texts.isEmpty());
    QCOMPARE(w.list.clears, 1);
    QVERIFY(entriesOf(m_dir->path()).isEmpty());
}

void TestMessageFile::saveFailureShowsName_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing directory") << "missing";
    QTest::newRow("parent is a file") << "parent file";
    QTest::newRow("target is a directory") << "directory";
    QTest::newRow("read-only directory") << "read-only";
}

void TestMessageFile::saveFailureShowsName()
{
    QFETCH(QString, kind);
    QString name;
    QString watched = m_dir->path(); // nothing new may appear here
    if (kind == "missing") {
        name = path("nowhere/messages.txt");
    } else if (kind == "parent file") {
        writeBytes(path("plain"), "keep");
        name = path("plain/messages.txt");
    } else if (kind == "directory") {
        name = path("folder");
        QVERIFY(QDir().mkdir(name));
        writeBytes(path("folder/inside.txt"), "keep");
    } else {
        if (geteuid() == 0)
            QSKIP("root can write into a read-only directory");
        watched = path("locked");
        QVERIFY(QDir().mkdir(watched));
        name = path("locked/messages.txt");
        writeBytes(name, "earlier");
        QVERIFY(QFile::setPermissions(watched, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const QStringList before = entriesOf(watched);

    Window w;
    w.save(name);
    QCOMPARE(w.messageBox.texts, QStringList{WriteError + name});
    QCOMPARE(entriesOf(watched), before);
    if (kind == "parent file")
        QCOMPARE(readBytes(path("plain")), QByteArray("keep"));
    if (kind == "directory")
        QCOMPARE(entriesOf(name), QStringList{"inside.txt"});
    if (kind == "read-only") {
        QCOMPARE(readBytes(name), QByteArray("earlier"));
        QFile::setPermissions(watched, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
    }
}

// A write that fails part-way (here: the file size limit, which binds even root) must leave the
// earlier file as it was and no temporary file behind.
void TestMessageFile::failedWriteKeepsEarlierFile()
{
    const QString name = path("messages.txt");
    const QByteArray earlier = numberedLines(1000);
    writeBytes(name, earlier);

    Window w;
    for (QByteArray &entry : w.Messages)
        entry = QByteArray(32, 'n');

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    w.save(name);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(w.messageBox.texts, QStringList{WriteError + name});
    QCOMPARE(readBytes(name), earlier);
    QCOMPARE(entriesOf(m_dir->path()), QStringList{"messages.txt"});
}

void TestMessageFile::hugeLine()
{
    const QString name = path("huge.txt");
    writeBytes(name, QByteArray(50 * 1024 * 1024, 'h'));
    QElapsedTimer timer;
    timer.start();
    Window w;
    w.load(name);
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(w.messageBox.texts, QStringList{ReadError + name});
    QCOMPARE(w.Messages[0], QByteArray(32, 'h'));
    QCOMPARE(w.Messages[1], QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestMessageFile)
#include "test_message_file.moc"
