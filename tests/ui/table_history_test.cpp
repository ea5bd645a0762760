#include "fake_dialogs.h"
#include "fake_list.h"
#include "message_file.h"
#include "table_history.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvane;
using namespace norvane::test;

namespace {

// The table, its list and the history over them; every entry starts as "old k".
struct Editor
{
    Editor()
    {
        for (int n = 0; n < MessageCount; ++n)
            Messages[n] = "old " + QByteArray::number(n);
        RefreshList(list);
    }
    MessageTable Messages;
    FakeList list{Messages};
    TableHistory history{Messages, list};
    FakeFileDialog dialog;
    FakeMessageBox messageBox;

    // One operation of the window, by the name of its step; `file` is the name "Load" is given.
    void run(const QString &operation, const std::optional<QString> &file = {})
    {
        history.record(operation, [&] {
            if (operation == "New") {
                ClearMessages(Messages, list);
            } else if (operation == "Load") {
                dialog.answer = file;
                LoadMessageFile(Messages, list, dialog, messageBox);
            } else {
                ModifyMessage(Messages, list, qint16(operation.mid(7).toInt()), "changed", "");
            }
        });
    }
};

} // namespace

class TableHistoryTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    // Undone, each kind of step gives back the table and its lines; redone, the changed table.
    // Neither rebuilds the list, so its selection and top line stay.
    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("fileLines"); // lines of the file "Load" reads
        QTest::addColumn<int>("changedEntry");
        QTest::addColumn<QByteArray>("changedTo");
        QTest::newRow("Modify") << "Modify 12" << 0 << 12 << "changed" + QByteArray(25, ' ');
        QTest::newRow("New") << "New" << 0 << 999 << QByteArray();
        QTest::newRow("Load") << "Load" << 1000 << 999 << QByteArray("new");
        QTest::newRow("Load cut short by the read error")
            << "Load" << 500 << 499 << QByteArray("new");
    }
    void undoAndRedo()
    {
        QFETCH(QString, operation);
        QFETCH(int, fileLines);
        QFETCH(int, changedEntry);
        QFETCH(QByteArray, changedTo);
        const QString file = m_dir.filePath(QStringLiteral("messages.txt"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray("new\r\n").repeated(fileLines));
        out.close();

        Editor e;
        const MessageTable before = e.Messages;
        const QByteArrayList linesBefore = e.list.lines;
        e.run(operation, file);
        const MessageTable after = e.Messages;
        const QByteArrayList linesAfter = e.list.lines;
        QCOMPARE(e.Messages[changedEntry], changedTo);
        QCOMPARE(e.history.steps().undoText(), operation);

        e.list.setTopLine(300);
        const int rebuilds = e.list.clears;
        e.history.steps().undo();
        QVERIFY(e.Messages == before);
        QCOMPARE(e.list.lines, linesBefore);
        e.history.steps().redo();
        QVERIFY(e.Messages == after);
        QCOMPARE(e.list.lines, linesAfter);
        QCOMPARE(e.list.clears, rebuilds);
        QCOMPARE(e.list.topLine, 300);
    }

    // What leaves the table as it was is no step: the last real change stays next to undo.
    void noChangeNoStep_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("file");
        const QString none;
        QTest::newRow("Modify without a current line") << "Modify -1" << none;
        QTest::newRow("Modify storing the same") << "Modify 7" << none;
        QTest::newRow("New of an empty table") << "New" << none;
        QTest::newRow("Load of a missing file") << "Load" << QStringLiteral("missing.txt");
        QTest::newRow("Load cancelled") << "Load" << none;
    }
    void noChangeNoStep()
    {
        QFETCH(QString, operation);
        QFETCH(QString, file);
        Editor e;
        if (operation == "New")
            e.run(QStringLiteral("New"));
        else
            e.run(QStringLiteral("Modify 7"));
        const QString lastStep = e.history.steps().undoText();
        e.run(operation, file.isEmpty() ? std::nullopt : std::optional(m_dir.filePath(file)));
        QCOMPARE(e.history.steps().count(), 1);
        QCOMPARE(e.history.steps().undoText(), lastStep);
    }

    // The oldest steps go beyond the limit; the newest hundred can all be undone.
    void historyIsBounded()
    {
        Editor e;
        for (int n = 0; n < 150; ++n)
            e.run(QStringLiteral("Modify %1").arg(n));
        QCOMPARE(e.history.steps().count(), TableHistory::StepLimit);
        while (e.history.steps().canUndo())
            e.history.steps().undo();
        QCOMPARE(e.Messages[49], "changed" + QByteArray(25, ' '));
        QCOMPARE(e.Messages[50], QByteArray("old 50"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TableHistoryTest)
#include "table_history_test.moc"
