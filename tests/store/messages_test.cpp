// SPDX-License-Identifier: MIT
#include "fake_dialogs.h"
#include "fake_list.h"
#include "fifo_reader_guard.h"
#include "message_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <optional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace norvane;
using namespace norvane::test;

namespace {

const QString ReadError = QStringLiteral("Error while reading data from file: ");
const QString WriteError = QStringLiteral("Error while writing data to file: ");
using Checks = QList<QPair<int, QByteArray>>;

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

struct stat statOf(const QString &path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// A Unix socket, bound in a short private folder of its own: a socket's name holds at most
// 107 bytes, which a folder under a deep checkout may already exceed. A name that does not fit
// stops the test rather than being cut short.
class BoundSocket
{
public:
    BoundSocket() : m_dir(QStringLiteral("/tmp/norvane-socket-XXXXXX"))
    {
        const QByteArray name = QFile::encodeName(path());
        sockaddr_un address = {};
        if (!m_dir.isValid() || name.size() >= qsizetype(sizeof address.sun_path))
            qFatal("no socket name that fits: %s", name.constData());
        address.sun_family = AF_UNIX;
        std::copy(name.cbegin(), name.cend(), address.sun_path);
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            qFatal("cannot bind a socket to %s", name.constData());
    }
    ~BoundSocket() { ::close(m_fd); }
    BoundSocket(const BoundSocket &) = delete;
    BoundSocket &operator=(const BoundSocket &) = delete;

    QString path() const { return m_dir.filePath(QStringLiteral("socket")); }

private:
    QTemporaryDir m_dir;
    int m_fd = -1;
};

// Lines "line 0" .. "line <n-1>", each ended by `end`.
QByteArray numberedLines(int n, const QByteArray &end = "\r\n")
{
    QByteArray bytes;
    for (int k = 0; k < n; ++k)
        bytes += "line " + QByteArray::number(k) + end;
    return bytes;
}

// The list lines at the given positions, each followed by '|'.
QByteArray linesAt(const FakeList &list, std::initializer_list<int> positions)
{
    QByteArray result;
    for (int i : positions)
        result += list.lines.at(i) + '|';
    return result;
}

// The main window's part as the operations see it: table, list, dialog and message box.
// Every entry starts as "old".
struct Window
{
    Window()
    {
        Messages.fill(QByteArray("old"));
        RefreshList(list);
        list.clears = 0;
    }
    MessageTable Messages;
    FakeList list{Messages};
    FakeFileDialog dialog;
    FakeMessageBox messageBox;

    bool load(const std::optional<QString> &name)
    {
        dialog.answer = name;
        return LoadMessageFile(Messages, list, dialog, messageBox);
    }
    bool save(const std::optional<QString> &name)
    {
        dialog.answer = name;
        return SaveMessageFile(Messages, dialog, messageBox);
    }
};

constexpr int NoMount = 77;

// Saves the table right after "New" over an earlier file on a full tmpfs mounted over `dir`;
// run in a child process. Returns 0 when the failure shows and nothing is lost or left behind.
int saveOnFullDisk(const QString &dir)
{
    const QByteArray path = QFile::encodeName(dir);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=4k") != 0)
        return NoMount;
    const QString name = dir + "/messages.txt";
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write("earlier") != 7 || !file.flush())
        return NoMount;
    file.close();
    Window w;
    ClearMessages(w.Messages, w.list);
    w.save(name);
    const bool kept = w.messageBox.texts == QStringList{WriteError + name} &&
                      readBytes(name) == "earlier" && entriesOf(dir) == QStringList{"messages.txt"};
    return kept ? 0 : 1;
}

// One row of a data table; string literals become QByteArray, NUL bytes inside included.
template <typename T> T cell(const T &value)
{
    return value;
}
template <std::size_t N> QByteArray cell(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}
template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << cell(values));
}

} // namespace

class MessagesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // A rebuild shows the table as it is and scrolls to the top; clearing also empties it.
    void rebuildsList()
    {
        Window w;
        ClearMessages(w.Messages, w.list);
        QCOMPARE(w.list.lines.size(), MessageCount);
        QCOMPARE(linesAt(w.list, {0, 9, 10, 100, 999}),
                 QByteArray("  0: |  9: | 10: |100: |999: |"));

        ModifyMessage(w.Messages, w.list, 12, "twelve", "");
        w.Messages[999] = "loaded";
        w.list.setTopLine(300);
        RefreshList(w.list);
        QCOMPARE(w.list.lines.size(), MessageCount);
        QCOMPARE(linesAt(w.list, {12, 999}), " 12: twelve" + QByteArray(26, ' ') + "|999: loaded|");
        QCOMPARE(w.list.topLine, 0);

        ClearMessages(w.Messages, w.list);
        for (const QByteArray &entry : w.Messages)
            QVERIFY(entry.isEmpty());
        QCOMPARE(w.list.lines.size(), MessageCount);
        QCOMPARE(linesAt(w.list, {12, 999}), QByteArray(" 12: |999: |"));
    }

    void modify_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QByteArray>("entry");
        row("first line only", 3, "HELLO", "", "HELLO" + QByteArray(27, ' '));
        row("both empty", 5, "", "", QByteArray(32, ' '));
        row("long first line cut", 0, "ABCDEFGHIJKLMNOPQRST", "x",
            "ABCDEFGHIJKLMNOPx" + QByteArray(15, ' '));
        row("long second line cut", 999, "a", "0123456789abcdefXYZ",
            "a" + QByteArray(15, ' ') + "0123456789abcdef");
    }

    void modify()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, entry);
        Window w;
        QByteArrayList expected = w.list.lines;
        expected[index] = QByteArray::number(index).rightJustified(3, ' ') + ": " + entry;
        ModifyMessage(w.Messages, w.list, qint16(index), first, second);
        QCOMPARE(w.Messages[index], entry);
        QCOMPARE(w.list.lines, expected);
        QCOMPARE(w.list.replacements, 1);
    }

    // Without a current message (or with an index past the table) nothing changes.
    void noMessage_data()
    {
        QTest::addColumn<int>("index");
        row("no current line", -1);
        row("past the last message", 1000);
        row("highest", 32767);
    }

    void noMessage()
    {
        QFETCH(int, index);
        Window w;
        const MessageTable before = w.Messages;
        ModifyMessage(w.Messages, w.list, qint16(index), "A", "B");
        QVERIFY(w.Messages == before);
        QCOMPARE(w.list.replacements, 0);
        QVERIFY(!SplitMessage(w.Messages, qint16(index)));
    }

    // Splitting gives the display lines; modifying with them unedited fills the entry out to 32.
    void split_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        row("empty", "", "", "");
        row("loaded short", "ABC", "ABC", "");
        row("leading blanks", "  HI", "  HI", "");
        row("20 characters", "0123456789abcdefWXYZ", "0123456789abcdef", "WXYZ");
        row("filled out", "HELLO" + QByteArray(27, ' '), "HELLO" + QByteArray(11, ' '),
            QByteArray(16, ' '));
    }

    void split()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        Window w;
        w.Messages[7] = entry;
        const std::optional<DisplayLines> lines = SplitMessage(w.Messages, 7);
        QVERIFY(lines);
        QCOMPARE(lines->first, first);
        QCOMPARE(lines->second, second);
        ModifyMessage(w.Messages, w.list, 7, lines->first, lines->second);
        QCOMPARE(w.Messages[7], entry.leftJustified(EntryLength, ' '));
    }

    void goToNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("topLine"); // -1: the list is not scrolled
        row("empty", "", 0);
        row("3.5", "3.5", 4);
        row("999", "999", 999);
        row("negative", "-1", -1);
        row("past the last line", "1000", -1);
        row("9E9 does not convert", "9E9", -1);
    }

    void goToNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, topLine);
        Window w;
        const QByteArrayList before = w.list.lines;
        w.list.topLine = 500;
        GoToNumber(w.list, text);
        QCOMPARE(w.list.topLineCalls, topLine < 0 ? 0 : 1);
        QCOMPARE(w.list.topLine, topLine < 0 ? 500 : topLine);
        QCOMPARE(w.list.lines, before);
        QCOMPARE(w.list.replacements, 0);
    }

    // Plain entries are written as they are; entries holding separators or quotes are quoted.
    void fileLine_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QByteArray>("line");
        row("plain", "HELLO", "HELLO");
        row("blanks kept", "  HI   ", "  HI   ");
        row("comma", "A,B", "\"A,B\"");
        row("quote inside is plain", "12\" PIZZA", "12\" PIZZA");
        row("leading quote", "\"hi\"", "\"\"\"hi\"\"\"");
        row("comma and quotes", "say \"hi\", go", "\"say \"\"hi\"\", go\"");
        row("CR", "a\rb", "\"a\rb\"");
        row("LF", "a\nb", "\"a\nb\"");
        row("NUL is plain", "a\0b", "a\0b");
    }

    void fileLine()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QByteArray, line);
        QCOMPARE(messageFileLine(entry), line);
    }

    void saveAfterClearIsEmptyLines()
    {
        const QString name = m_dir->filePath("messages.txt");
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
    void roundTripKeepsEveryEntry()
    {
        Window w;
        const QByteArrayList tricky = {
            "A,B",    "\"",      "\"quoted\"", "say \"hi\", then go", "a\r\nb", "\r",
            "  lead", "trail  ", ",,,",        "\xff\x80\x81",        "",       cell("\0\0")};
        std::copy(tricky.begin(), tricky.end(), w.Messages.begin());
        // The rest: random entries over the bytes that matter to the file format.
        const QByteArray alphabet("a ,\"\r\n\t\0\xff", 9);
        QRandomGenerator random(20240611);
        for (int k = tricky.size(); k < MessageCount; ++k) {
            w.Messages[k].clear();
            for (int i = random.bounded(EntryLength + 1); i > 0; --i)
                w.Messages[k].append(alphabet.at(random.bounded(alphabet.size())));
        }
        w.Messages[997] = QByteArray(32, ' ');
        w.Messages[998] = QByteArray(32, '"'); // a line twice as long as the entry
        w.Messages[999] = "last,";

        const QString name = m_dir->filePath("tricky.txt");
        QVERIFY(w.save(name));
        Window other;
        QVERIFY(other.load(name));
        QVERIFY(w.messageBox.texts.isEmpty());
        QVERIFY(other.messageBox.texts.isEmpty());
        for (int k = 0; k < MessageCount; ++k)
            QCOMPARE(other.Messages[k], w.Messages[k]);
        QCOMPARE(other.list.lines.at(999), QByteArray("999: last,"));
    }

    // The file is named after the row; the last four rows make the file fail to open or read.
    void load_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("replaced"); // entries from here on keep their old contents
        QTest::addColumn<Checks>("checks");
        row("1000 lines", numberedLines(1000), 1000, Checks{{0, "line 0"}, {999, "line 999"}});
        row("999 lines", numberedLines(999), 999, Checks{{0, "line 0"}, {998, "line 998"}});
        row("1200 lines", numberedLines(1200), 1000, Checks{{999, "line 999"}});
        row("LF line ends", numberedLines(1000, "\n"), 1000,
            Checks{{1, "line 1"}, {999, "line 999"}});
        row("empty file", "", 0, Checks{});
        row("40 characters cut to 32", QByteArray(40, 'x') + "\r\n" + numberedLines(999), 1000,
            Checks{{0, QByteArray(32, 'x')}, {1, "line 0"}});
        // A file written without quoting: a comma splits the line and later lines move down.
        row("unquoted comma splits", numberedLines(5) + "A,B\r\n" + numberedLines(994), 1000,
            Checks{{4, "line 4"}, {5, "A"}, {6, "B"}, {7, "line 0"}, {999, "line 992"}});
        row("quoted comma stays", numberedLines(5) + "\"A,B\"\r\n" + numberedLines(994), 1000,
            Checks{{5, "A,B"}, {6, "line 0"}, {999, "line 993"}});
        row("empty line in the middle", numberedLines(3) + "\r\n" + numberedLines(996), 1000,
            Checks{{2, "line 2"}, {3, ""}, {4, "line 0"}, {999, "line 995"}});
        row("unclosed quote", numberedLines(10) + "\"open\r\nrest", 11,
            Checks{{10, "open\r\nrest"}});
        row("NUL bytes", cell("a\0b\r\n").repeated(1000), 1000,
            Checks{{0, cell("a\0b")}, {999, cell("a\0b")}});
        row("one 50 MB line", QByteArray(50 * 1024 * 1024, 'h'), 1,
            Checks{{0, QByteArray(32, 'h')}});
        for (const char *failure : {"missing", "directory", "unreadable", "read error",
                                    "FIFO without a writer", "/dev/zero", "socket"})
            row(failure, numberedLines(1000), 0, Checks{});
    }

    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, replaced);
        QFETCH(Checks, checks);
        const QByteArray tag = QTest::currentDataTag();
        QString name = tag.startsWith('/') ? QString(tag) : m_dir->filePath(tag);
        std::optional<BoundSocket> socket;
        if (tag == "directory") {
            QVERIFY(QDir().mkdir(name));
        } else if (tag == "read error") {
            name = "/proc/self/mem"; // opens, but reading its first bytes (address 0) fails
        } else if (tag == "socket") {
            name = socket.emplace().path();
        } else if (tag.startsWith("FIFO")) {
            QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
        } else if (tag != "missing" && tag != "/dev/zero") {
            writeBytes(name, content);
        }
        if (tag == "unreadable") {
            if (geteuid() == 0)
                QSKIP("root can read a file without read permission");
            QVERIFY(QFile::setPermissions(name, QFileDevice::WriteOwner));
        }
        Window w;
        bool loaded = true;
        if (tag.startsWith("FIFO"))
            QVERIFY(finishesWithoutWriter(name, [&] { loaded = w.load(name); }));
        else
            loaded = w.load(name);
        QCOMPARE(loaded, replaced == MessageCount);
        QCOMPARE(w.messageBox.texts,
                 replaced == MessageCount ? QStringList() : QStringList{ReadError + name});
        for (const auto &[k, entry] : checks)
            QCOMPARE(w.Messages[k], entry);
        for (int k = replaced; k < MessageCount; ++k)
            QCOMPARE(w.Messages[k], QByteArray("old"));
        // The list is rebuilt on success and on failure alike.
        QCOMPARE(w.list.clears, 1);
        QCOMPARE(w.list.lines.size(), MessageCount);
        QCOMPARE(w.list.lines.at(999), FormatListLine(w.Messages[999], 999));
    }

    // Cancelling either dialog changes and shows nothing, and cancelling "Load" does not even
    // rebuild the list; an empty name rebuilds the list on "Load" and writes nothing on "Save As".
    void cancelOrEmptyName()
    {
        Window w;
        QVERIFY(!w.load(std::nullopt));
        QVERIFY(!w.save(std::nullopt));
        QCOMPARE(w.list.clears, 0);
        QVERIFY(!w.load(QString()));
        QVERIFY(!w.save(QString()));
        QCOMPARE(w.list.clears, 1);
        QCOMPARE(w.dialog.opens, 2);
        QCOMPARE(w.dialog.saves, 2);
        QVERIFY(w.messageBox.texts.isEmpty());
        QCOMPARE(w.Messages[0], QByteArray("old"));
        QVERIFY(entriesOf(m_dir->path()).isEmpty());
    }

    // A failed save shows the message, leaves the earlier file (and whatever is in the way) as it
    // was and leaves no temporary file behind. A name that is no regular file is not touched,
    // nor waited on. A file written in place (hard-linked) holds what was written until the
    // failure; the message is what matters there.
    void saveFailure_data()
    {
        QTest::addColumn<int>("sizeLimit"); // bytes the file may grow to (binds even root); 0: none
        QTest::addColumn<bool>("full");     // a table of full entries, or the one right after "New"
        row("missing directory", 0, true);
        row("parent is a file", 0, true);
        row("target is a directory", 0, true);
        row("write fails part-way", 4096, true);
        row("write fails, table after New", 1000, false);
        row("target is a FIFO without a reader", 0, false);
        row("target is a socket", 0, false);
        row("target is a device node", 0, false);
        row("hard link, write fails in place", 1000, false);
    }

    void saveFailure()
    {
        QFETCH(int, sizeLimit);
        QFETCH(bool, full);
        const QByteArray tag = QTest::currentDataTag();
        const QString dir = m_dir->path();
        QString name = m_dir->filePath("messages.txt");
        QString kept = name;
        writeBytes(kept, "earlier");
        const QString specialName = m_dir->filePath("special");
        const QByteArray special = QFile::encodeName(specialName);
        std::optional<BoundSocket> socket;
        if (tag == "missing directory") {
            name = m_dir->filePath("nowhere/messages.txt");
        } else if (tag == "parent is a file") {
            name = kept + "/messages.txt";
        } else if (tag == "target is a directory") {
            name = m_dir->filePath("folder");
            QVERIFY(QDir().mkdir(name));
            writeBytes(kept = name + "/inside.txt", "earlier");
        } else if (tag == "target is a FIFO without a reader") {
            QCOMPARE(::mkfifo(special.constData(), 0600), 0);
            name = specialName;
        } else if (tag == "target is a socket") {
            name = socket.emplace().path();
        } else if (tag == "target is a device node") {
            if (::mknod(special.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
                QSKIP("no device node can be made here");
            name = specialName;
        } else if (tag.startsWith("hard link")) {
            QCOMPARE(::link(QFile::encodeName(kept).constData(), special.constData()), 0);
            kept.clear();
        }
        const struct stat before = statOf(name);
        const QStringList entriesBefore = entriesOf(dir);
        Window w;
        if (full)
            w.Messages.fill(QByteArray(32, 'n'));
        else
            ClearMessages(w.Messages, w.list);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        if (sizeLimit > 0)
            small.rlim_cur = rlim_t(sizeLimit);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = w.save(name);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QCOMPARE(w.messageBox.texts, QStringList{WriteError + name});
        QCOMPARE(entriesOf(dir), entriesBefore);
        const struct stat after = statOf(name);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        if (!kept.isEmpty())
            QCOMPARE(readBytes(kept), QByteArray("earlier"));
    }

    // A full disk, made as a tmpfs of one page (taken by the earlier file) in a mount namespace
    // of a child process, so that the mount ends with the child.
    void saveFailsOnFullDisk()
    {
        const QString dir = m_dir->path();
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(saveOnFullDisk(dir));
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == NoMount)
            QSKIP("no file system can be mounted here");
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // Saving through a link writes what the link names, and a file that is not simply the
    // user's own is written in place: the links, owner, group and permissions stay.
    void saveKeepsWhatTheNameIs_data()
    {
        QTest::addColumn<bool>("inPlace"); // the file keeps its inode
        row("symbolic link", false);
        row("hard link", true);
        row("someone else's file", true);
        row("other group", false);
        row("read-only folder", true);
    }

    void saveKeepsWhatTheNameIs()
    {
        QFETCH(bool, inPlace);
        const QByteArray tag = QTest::currentDataTag();
        const bool root = ::geteuid() == 0;
        if ((tag == "someone else's file" || tag == "other group") && !root)
            QSKIP("only root can give a file away");
        if (tag == "read-only folder" && root)
            QSKIP("root can write into a read-only directory");
        const QString dir = m_dir->path();
        const QString file = m_dir->filePath("messages.txt");
        const QString other = m_dir->filePath("other.txt");
        writeBytes(file, "earlier");
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup));
        QString name = file;
        const QByteArray path = QFile::encodeName(file);
        if (tag == "symbolic link") {
            QVERIFY(QFile::link("messages.txt", name = other));
        } else if (tag == "hard link") {
            QCOMPARE(::link(path.constData(), QFile::encodeName(other).constData()), 0);
        } else if (tag == "someone else's file") {
            QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
        } else if (tag == "other group") {
            QCOMPARE(::chown(path.constData(), 0, 65534), 0);
        } else if (tag == "read-only folder") {
            QVERIFY(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const struct stat before = statOf(file);
        const QStringList entriesBefore = entriesOf(dir);
        Window w;
        w.save(name);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);

        QVERIFY(w.messageBox.texts.isEmpty());
        const QByteArray content = QByteArray("old\r\n").repeated(MessageCount);
        QCOMPARE(readBytes(name), content);
        QCOMPARE(entriesOf(dir), entriesBefore);
        const struct stat after = statOf(file);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_ino == before.st_ino, inPlace);
        if (tag == "symbolic link")
            QVERIFY(QFileInfo(name).isSymLink());
        if (tag == "hard link")
            QCOMPARE(readBytes(other), content);
    }

    // A 4 GiB file without a separator (sparse, so it takes no disk space) is one field: entry 0
    // gets its first 32 bytes and the load ends with the read error, without ever holding the
    // field. The load runs in a process of its own, whose peak memory is all it used.
    void hugeFieldLoadsInLittleMemory()
    {
        const QString name = m_dir->filePath("huge.txt");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(4) << 30));
        file.close();
        QProcess load;
        load.start(QStringLiteral(LOAD_PEAK), {name});
        QVERIFY(load.waitForFinished(60000));
        const QByteArrayList result = load.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(result.size(), 3);
        QCOMPARE(result[0], QByteArray("0"));
        QCOMPARE(result[1], QByteArray(2 * EntryLength, '0'));
        QVERIFY2(result[2].toLong() < 50 * 1024, result[2] + " KiB");
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(MessagesTest)
#include "messages_test.moc"
