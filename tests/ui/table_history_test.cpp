// SPDX-License-Identifier: MIT
#include "fake_dialogs.h"
#include "fake_list.h"
#include "message_file.h"
#include "table_history.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvane;
using namespace norvane::test;

class TableHistoryTest : public QObject
{
    Q_OBJECT
private slots:
    // Undone, each kind of step gives back the table and its lines; redone, the changed ones.
    // Neither rebuilds the list, so its selection and top line stay. The same operation again
    // changes nothing and makes no step.
    void undoAndRedo_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("fileLines"); // of the file "Load" reads
        QTest::newRow("Modify") << "Modify" << 0;
        QTest::newRow("New") << "New" << 0;
        QTest::newRow("Load") << "Load" << 1000;
        QTest::newRow("Load cut short by the read error") << "Load" << 500;
    }
    void undoAndRedo()
    {
        QFETCH(QString, step);
        QFETCH(int, fileLines);
        MessageTable Messages;
        for (int n = 0; n < MessageCount; ++n)
            Messages[n] = "old " + QByteArray::number(n);
        FakeList list(Messages);
        RefreshList(list);
        TableHistory history(Messages, list);
        QTemporaryDir dir;
        FakeFileDialog dialog;
        dialog.answer = dir.filePath(QStringLiteral("messages.txt"));
        QFile file(*dialog.answer);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("new\r\n").repeated(fileLines));
        file.close();
        FakeMessageBox messageBox;
        const auto run = [&] {
            history.record(step, [&] {
                if (step == "New")
                    ClearMessages(Messages, list);
                else if (step == "Load")
                    LoadMessageFile(Messages, list, dialog, messageBox);
                else
                    ModifyMessage(Messages, list, 12, "changed", "");
            });
        };

        const MessageTable before = Messages;
        const QByteArrayList linesBefore = list.lines;
        run();
        run();
        const MessageTable after = Messages;
        const QByteArrayList linesAfter = list.lines;
        QVERIFY(after != before);
        QCOMPARE(history.steps().count(), 1);
        QCOMPARE(history.steps().undoText(), step);

        list.setTopLine(300);
        const int rebuilds = list.clears;
        history.steps().undo();
        QVERIFY(Messages == before);
        QCOMPARE(list.lines, linesBefore);
        history.steps().redo();
        QVERIFY(Messages == after);
        QCOMPARE(list.lines, linesAfter);
        QCOMPARE(list.clears, rebuilds);
        QCOMPARE(list.topLine, 300);
    }

    // A "Modify" without a current line is no step; beyond 100 steps the oldest go.
    void historyIsBounded()
    {
        MessageTable Messages;
        FakeList list(Messages);
        RefreshList(list);
        TableHistory history(Messages, list);
        for (int n = -1; n < 150; ++n) {
            history.record(QStringLiteral("Modify"),
                           [&] { ModifyMessage(Messages, list, qint16(n), "x", ""); });
        }
        QCOMPARE(history.steps().count(), TableHistory::StepLimit);
        while (history.steps().canUndo())
            history.steps().undo();
        QCOMPARE(Messages[49], "x" + QByteArray(31, ' '));
        QVERIFY(Messages[50].isEmpty());
    }
};

QTEST_GUILESS_MAIN(TableHistoryTest)
#include "table_history_test.moc"
