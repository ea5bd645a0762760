// SPDX-License-Identifier: MIT
#include "main_window_harness.h"

#include "charset.h"
#include "field_input_filter.h"
#include "message_file.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

using namespace norvane;
using namespace norvane::test;

namespace {

// The rectangle a line edit draws its text in, worked out the way QLineEdit paints.
QRect textArea(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    // QLineEdit's fixed inner margins: 2 px left and right, 1 px top and bottom.
    return r.marginsRemoved(edit->textMargins()).adjusted(2, 1, -2, -1);
}

// The bytes a download sends for message `number` with an empty entry.
QByteArray emptyPair(int number, const QByteArray &terminator)
{
    return "N" + QByteArray::number(number) + terminator + "M" + QByteArray(32, ' ') + terminator;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void startUpStateLayoutAndFonts()
    {
        MainWindowHarness h;
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Quorlan v0.3 divisione Ferrim"));
        QCOMPARE(h.window->minimumSize(), QSize(629, 360));
        QCOMPARE(h.window->maximumSize(), QSize(629, 360));

        // In tab order; pixels at 96 dots per inch (designer twips / 15). Fields start empty.
        const std::tuple<const char *, const char *, QRect> controls[] = {
            {"List1", "", {0, 24, 473, 260}},
            {"Command1", "Load", {480, 24, 145, 41}},
            {"Command2", "Save As", {480, 72, 145, 41}},
            {"Command3", "New", {480, 120, 145, 41}},
            {"Command4", "Send all", {480, 168, 145, 41}},
            {"Label1", "Go to number", {480, 288, 145, 17}},
            {"Text1", "", {520, 320, 73, 27}},
            {"Text2", "", {112, 296, 201, 25}},
            {"Text3", "", {112, 328, 201, 25}},
            {"Command5", "Modify", {328, 304, 89, 41}},
            {"Option1_0", "Com1", {8, 0, 65, 17}},
            {"Option1_1", "Com2", {72, 0, 65, 17}},
            {"Option1_2", "Com3", {136, 0, 65, 17}},
            {"Option1_3", "Com4", {200, 0, 65, 17}},
            {"Check1", "CR", {480, 0, 57, 17}},
            {"Check2", "LF", {544, 0, 65, 17}},
            {"Command6", "Send selection", {480, 216, 145, 41}},
        };
        // A screen reader names every control, each differently (the label "Go to number" as its
        // field), the fields and the list by what they hold.
        const auto accessibleName = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QSet<QString> distinctNames;
        QStringList tabOrder;
        for (const auto &[name, text, rect] : controls) {
            QWidget *w = h.child(name);
            QVERIFY2(w && w->isVisible(), name);
            distinctNames << accessibleName(w);
            QCOMPARE(std::make_pair(QString(name), w->geometry()),
                     std::make_pair(QString(name), rect));
            QCOMPARE(w->property("text").toString(), QString(text));
            if (QLatin1String(name) != QLatin1String("Label1"))
                tabOrder.append(name);
        }
        QCOMPARE(h.child(QStringLiteral("Label1"))->focusPolicy(), Qt::NoFocus);
        QStringList chain;
        QWidget *w = h.list();
        do {
            if (tabOrder.contains(w->objectName()))
                chain.append(w->objectName());
            w = w->nextInFocusChain();
        } while (w != h.list() && chain.size() < tabOrder.size());
        QCOMPARE(chain, tabOrder);
        distinctNames.remove(QString());
        QCOMPARE(distinctNames.size(), 17 - 1);
        QCOMPARE(
            QStringList({accessibleName(h.list()), accessibleName(h.goToEdit()),
                         accessibleName(h.firstLineEdit()), accessibleName(h.secondLineEdit())}),
            QStringList({"Messages", "Go to number", "First display line", "Second display line"}));

        QCOMPARE(h.list()->model()->rowCount(), 1000);
        QCOMPARE(h.line(0), QStringLiteral("  0: "));
        QCOMPARE(h.line(999), QStringLiteral("999: "));
        QVERIFY(h.selectedRows().isEmpty());
        QCOMPARE(h.list()->currentRow(), -1);
        QCOMPARE(h.list()->topLine(), 0);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(h.portOption(i)->isChecked(), i == 0);
        QVERIFY(h.crCheck()->isChecked());
        QVERIFY(!h.lfCheck()->isChecked());
        // No progress window exists before the first download.
        QVERIFY(!h.window->progressWindow());

        // Each field's fixed-pitch font shows its full length of the widest character unscrolled.
        for (const auto &[edit, characters] :
             {std::pair(h.goToEdit(), 3), std::pair(h.firstLineEdit(), 16),
              std::pair(h.secondLineEdit(), 16)}) {
            QVERIFY(QFontInfo(edit->font()).fixedPitch());
            const QFontMetrics metrics(edit->font());
            QCOMPARE_LE(metrics.horizontalAdvance(QString(characters, 'W')),
                        textArea(edit).width());
            QCOMPARE_LE(metrics.height(), textArea(edit).height());
        }
    }

    void fieldLimits_data()
    {
        QTest::addColumn<QString>("field"); // its object name
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("kept");
        const QString first = objectName::FirstLineEdit;
        const QString second = objectName::SecondLineEdit;
        const QString seventeen(17, 'A');
        QTest::newRow("first line: no 17th") << first << seventeen << false << seventeen.left(16);
        QTest::newRow("second line: no 17th") << second << seventeen << false << seventeen.left(16);
        QTest::newRow("go-to number: no 4th") << objectName::GoToEdit << "1234" << false << "123";
        QTest::newRow("paste cut to length")
            << first << QString(20, 'x') << true << QString(16, 'x');
        QTest::newRow("8-bit taken")
            << first << QStringLiteral("é€ß½") << false << QStringLiteral("é€ß½");
        QTest::newRow("non-8-bit typed: refused") << second << "aπb" << false << "ab";
        QTest::newRow("non-8-bit pasted: left out") << first << "ok\u4e2d" << true << "ok";
    }
    void fieldLimits()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, pasted);
        QFETCH(QString, kept);
        MainWindowHarness h;
        QLineEdit *edit = h.child<QLineEdit>(field);
        edit->setFocus();
        if (pasted) {
            QApplication::clipboard()->setText(typed);
            edit->paste();
        } else {
            typeText(edit, typed);
        }
        QCOMPARE(edit->text(), kept);
        QVERIFY(isRepresentable(edit->text()));
    }

    // A paste with Ctrl+V keeps one line of what has a byte and no control characters; leaving
    // out characters without a byte shows a tooltip. What was there before stays, control
    // characters included. `cursor` -1 pastes over the whole text.
    void pasting_data()
    {
        QTest::addColumn<QString>("field"); // its object name
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("signalled");
        const QString goTo = objectName::GoToEdit;
        const QString first = objectName::FirstLineEdit;
        const QString second = objectName::SecondLineEdit;
        QTest::newRow("CR LF ends it") << first << "" << 0 << "ab\r\ncd"
                                       << "ab" << false;
        QTest::newRow("leading LF: nothing") << second << "xy" << 1 << "\nab"
                                             << "xy" << false;
        QTest::newRow("line separator ends it") << first << "" << 0 << "ab\u2028cd"
                                                << "ab" << false;
        QTest::newRow("controls dropped")
            << first << "" << 0 << QStringLiteral("a\tb\u0001c\u007fd\u0090e") << "abcde" << false;
        QTest::newRow("no byte: left out") << second << "" << 0 << "Grüße \u4e2d €5"
                                           << "Grüße  €5" << true;
        QTest::newRow("emoji left out whole") << first << "ab" << 1 << "x😀y"
                                              << "axyb" << true;
        QTest::newRow("after a stored tab") << first << "\tA" << 2 << "\tA"
                                            << "\tAA" << false;
        QTest::newRow("over the selection") << second << "old" << -1 << "new\nline"
                                            << "new" << false;
        QTest::newRow("go-to number, line break after") << goTo << "" << 0 << "12\r\n"
                                                        << "12" << false;
        QTest::newRow("go-to number, line break first") << goTo << "7" << 0 << "\n500"
                                                        << "7" << false;
    }
    void pasting()
    {
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        QFETCH(bool, signalled);
        MainWindowHarness h;
        QLineEdit *edit = h.child<QLineEdit>(field);
        FieldInputFilter::setTextUnfiltered(*edit, before);
        edit->setFocus();
        if (cursor < 0)
            edit->selectAll();
        else
            edit->setCursorPosition(cursor);
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        QApplication::clipboard()->setText(pasted);
        QTest::keySequence(edit, QKeySequence::Paste);
        QCOMPARE(edit->text(), kept);
        QCOMPARE(QToolTip::isVisible(), signalled);
        if (edit == h.goToEdit())
            QCOMPARE(h.list()->topLine(), kept.toInt());
    }

    // Control bytes of a loaded entry stay through a click on its line, "Modify" and an edit
    // elsewhere in the field.
    void loadedControlBytesStay()
    {
        MainWindowHarness h;
        const QByteArray entry = "T\tX\r\nY\x01Z";
        QFile file(h.dir.filePath(QStringLiteral("controls.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\r\n").repeated(3) + '"' + entry + "\"\r\n" +
                   QByteArray("\r\n").repeated(996));
        file.close();
        h.dialog->answer = file.fileName();
        h.click(h.loadButton());
        QCOMPARE(h.window->state().Messages[3], entry);

        h.clickLine(3);
        QCOMPARE(h.firstLineEdit()->text(), bytesToText(entry));
        h.click(h.modifyButton());
        QCOMPARE(h.window->state().Messages[3], entry + QByteArray(32 - entry.size(), ' '));
        h.firstLineEdit()->end(false);
        typeText(h.firstLineEdit(), QStringLiteral("!"));
        h.click(h.modifyButton());
        QCOMPARE(h.window->state().Messages[3], entry + '!' + QByteArray(31 - entry.size(), ' '));
    }

    void modifySplitAndNewThroughTheWidgets()
    {
        MainWindowHarness h;
        // Focus alone makes no line current, so "Modify" then overwrites nothing.
        h.firstLineEdit()->setFocus();
        h.list()->setFocus(Qt::TabFocusReason);
        QVERIFY(h.list()->hasFocus());
        QCOMPARE(h.list()->currentRow(), -1);
        typeText(h.firstLineEdit(), QStringLiteral("X"));
        h.click(h.modifyButton());
        for (int i = 0; i < 1000; ++i)
            QVERIFY(h.window->state().Messages[i].isEmpty());
        QCOMPARE(h.line(0), QStringLiteral("  0: "));
        // The keyboard then moves to a line like a click does.
        h.list()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(h.list(), Qt::Key_Down);
        QCOMPARE(h.list()->currentRow(), 0);
        QCOMPARE(h.firstLineEdit()->text(), QString());

        h.modify(3, QStringLiteral("HELLO"), QStringLiteral("Grüße"));
        const QString first = QStringLiteral("HELLO") + QString(11, ' ');
        const QString second = QStringLiteral("Grüße") + QString(11, ' ');
        QCOMPARE(h.line(3), QStringLiteral("  3: ") + first + second);
        QCOMPARE(h.window->state().Messages[3], textToBytes(first + second));
        QCOMPARE(h.line(2), QStringLiteral("  2: "));
        QCOMPARE(h.line(4), QStringLiteral("  4: "));
        // Another line fills the fields with its (empty) halves; coming back brings the padded
        // ones.
        h.clickLine(4);
        QCOMPARE(h.fields(), QStringList({"", "", ""}));
        h.clickLine(3);
        QCOMPARE(h.fields(), QStringList({"", first, second}));
        // Clicking the current line again undoes unsaved edits of the fields.
        h.firstLineEdit()->setText(QStringLiteral("scratch"));
        h.clickLine(3);
        QCOMPARE(h.firstLineEdit()->text(), first);
        // Moving the current line with the keyboard counts as a click.
        QTest::keyClick(h.list(), Qt::Key_Down);
        QCOMPARE(h.list()->currentRow(), 4);
        QCOMPARE(h.firstLineEdit()->text(), QString());
        QTest::keyClick(h.list(), Qt::Key_Up);
        QCOMPARE(h.secondLineEdit()->text(), second);

        // "New" empties the table and scrolls to the top but keeps the fields' texts.
        typeText(h.goToEdit(), QStringLiteral("20"));
        QCOMPARE(h.list()->topLine(), 20);
        h.click(h.newButton());
        QCOMPARE(h.list()->model()->rowCount(), 1000);
        QCOMPARE(h.line(3), QStringLiteral("  3: "));
        QVERIFY(h.window->state().Messages[3].isEmpty());
        QCOMPARE(h.list()->topLine(), 0);
        QCOMPARE(h.fields(), QStringList({"20", first, second}));
    }

    // Ctrl+Z undoes "New" and Ctrl+Shift+Z or Ctrl+Y redo it, keeping selection and top line and
    // showing the current line in the fields (in a text field the keys are the field's own:
    // window_system_test). The list's context menu names the steps.
    void undoAndRedo()
    {
        MainWindowHarness h;
        const QString hello = QStringLiteral("HELLO") + QString(11, ' ');
        h.modify(3, QStringLiteral("HELLO"));
        h.click(h.newButton());
        h.clickLine(3);
        typeText(h.goToEdit(), QStringLiteral("2"));
        const auto press = [&](QWidget *w, Qt::KeyboardModifiers modifiers, Qt::Key key) {
            w->setFocus();
            QTest::keyClick(w, key, modifiers);
        };
        press(h.list(), Qt::ControlModifier, Qt::Key_Z);
        QCOMPARE(h.line(3), QStringLiteral("  3: ") + hello + QString(16, ' '));
        QCOMPARE(h.fields(), QStringList({"2", hello, QString(16, ' ')}));
        QCOMPARE(h.selectedRows(), QList<int>{3});
        QCOMPARE(h.list()->topLine(), 2);
        press(h.modifyButton(), Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
        QCOMPARE(h.line(3), QStringLiteral("  3: "));
        press(h.list(), Qt::ControlModifier, Qt::Key_Z);
        press(h.list(), Qt::ControlModifier, Qt::Key_Y);
        QCOMPARE(h.line(3), QStringLiteral("  3: "));

        // The menu a right click on the list brings up.
        QStringList menu;
        QTimer::singleShot(0, h.window.get(), [&] {
            if (auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (const QAction *action : popup->actions())
                    menu << action->text() + (action->isEnabled() ? "" : " (greyed)");
                popup->close();
            }
        });
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 10), QPoint(10, 10));
        QApplication::sendEvent(h.list()->viewport(), &rightClick);
        QCOMPARE(menu, QStringList({"Undo New", "Redo (greyed)"}));
    }

    // Closing with unsaved work writes a recovery copy; a table a file holds, as after Save As
    // or Load, or undone to the start, writes none.
    void recoveryCopyAtClose_data()
    {
        QTest::addColumn<QString>("after"); // what follows an edit
        QTest::addColumn<bool>("copied");
        QTest::newRow("nothing") << QString() << true;
        QTest::newRow("Save As") << QStringLiteral("save") << false;
        QTest::newRow("Load") << QStringLiteral("load") << false;
        QTest::newRow("undo") << QStringLiteral("undo") << false;
    }
    void recoveryCopyAtClose()
    {
        QFETCH(QString, after);
        QFETCH(bool, copied);
        MainWindowHarness h;
        h.dialog->answer = h.dir.filePath(QStringLiteral("messages.txt"));
        QVERIFY(writeMessageFile(*h.dialog->answer, MessageTable()));
        h.modify(4, QStringLiteral("four"));
        if (after == "save")
            h.click(h.saveAsButton());
        if (after == "load")
            h.click(h.loadButton());
        if (after == "undo")
            QTest::keyClick(h.list(), Qt::Key_Z, Qt::ControlModifier);
        h.window->close();
        QCOMPARE(QDir(h.recoveryFolder()).entryList(QDir::Files).size(), copied ? 1 : 0);
    }

    void goToNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("topLine"); // -1: scrolled as far down as it goes
        QTest::newRow("number") << "500" << 500;
        QTest::newRow("number with trailing letters") << "12x" << 12;
        QTest::newRow("cleared field") << "" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("last line") << "999" << -1;
    }
    void goToNumber()
    {
        QFETCH(QString, typed);
        QFETCH(int, topLine);
        MainWindowHarness h;
        h.clickLine(7);
        typeText(h.goToEdit(), QStringLiteral("300"));
        QCOMPARE(h.list()->topLine(), 300);
        h.goToEdit()->clear();
        typeText(h.goToEdit(), typed);
        MessageListView *list = h.list();
        if (topLine >= 0) {
            QCOMPARE(h.list()->topLine(), topLine);
        } else {
            QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
            QVERIFY(list->viewport()->rect().contains(list->visualRect(h.index(999))));
            QCOMPARE_GT(h.list()->topLine(), 980);
        }
        // Scrolling neither moves the current line nor selects anything else.
        QCOMPARE(list->currentRow(), 7);
        QCOMPARE(h.selectedRows(), QList<int>{7});
    }

    void loadAndSave()
    {
        MainWindowHarness h;
        const QString fileName = h.dir.filePath(QStringLiteral("messages.txt"));
        // Cancelling either dialog does nothing.
        h.goToEdit()->setText(QStringLiteral("40"));
        h.click(h.loadButton());
        h.click(h.saveAsButton());
        QCOMPARE(h.dialog->opens, 1);
        QCOMPARE(h.dialog->saves, 1);
        QCOMPARE(h.list()->topLine(), 40);

        h.modify(5, QStringLiteral("saved"));
        h.dialog->answer = fileName;
        h.click(h.saveAsButton());
        QCOMPARE(QFileInfo(fileName).size(), qint64(2000 + 32));
        h.click(h.newButton());
        QCOMPARE(h.line(5), QStringLiteral("  5: "));
        h.click(h.loadButton());
        QCOMPARE(h.line(5), QStringLiteral("  5: saved") + QString(27, ' '));
        QCOMPARE(h.firstLineEdit()->text(), QStringLiteral("saved"));
        QVERIFY(h.messageBox->texts.isEmpty());
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("button"); // its object name
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        const QString reading = QStringLiteral("Error while reading data from file: ");
        QTest::newRow("load of a missing file")
            << objectName::LoadButton << "missing.txt" << reading;
        QTest::newRow("a name holding markup")
            << objectName::LoadButton << "<b>bold</b>.txt" << reading;
        QTest::newRow("save into a missing folder")
            << objectName::SaveAsButton << "no/such/folder/out.txt"
            << "Error while writing data to file: ";
    }
    void fileErrors()
    {
        QFETCH(QString, button);
        QFETCH(QString, file);
        QFETCH(QString, message);
        MainWindowHarness h;
        h.modify(2, QStringLiteral("kept"));
        h.dialog->answer = h.dir.filePath(file);
        h.click(h.child(button));
        QCOMPARE(h.messageBox->texts, QStringList{message + h.dir.filePath(file)});
        QCOMPARE(h.line(2), QStringLiteral("  2: kept") + QString(28, ' '));
        QVERIFY(h.window->isVisible());
    }

    // Enter and Return press the focused push button, once however long they are held; in a
    // field, or with a modifier, they press nothing.
    void enterKey_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<int>("clicks");
        const Qt::KeyboardModifiers none = Qt::NoModifier;
        QTest::newRow("Return on New")
            << objectName::NewButton << int(Qt::Key_Return) << none << false << 1;
        QTest::newRow("keypad Enter on Modify")
            << objectName::ModifyButton << int(Qt::Key_Enter)
            << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << 1;
        QTest::newRow("Return on Load")
            << objectName::LoadButton << int(Qt::Key_Return) << none << false << 1;
        QTest::newRow("repeated Return")
            << objectName::NewButton << int(Qt::Key_Return) << none << true << 0;
        QTest::newRow("ctrl+Return") << objectName::NewButton << int(Qt::Key_Return)
                                     << Qt::KeyboardModifiers(Qt::ControlModifier) << false << 0;
        QTest::newRow("Return in a display line")
            << objectName::FirstLineEdit << int(Qt::Key_Return) << none << false << 0;
        QTest::newRow("Return in go to number")
            << objectName::GoToEdit << int(Qt::Key_Return) << none << false << 0;
    }

    void enterKey()
    {
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(int, clicks);
        MainWindowHarness h;
        QWidget *widget = h.child(target);
        int targetClicks = 0;
        int otherClicks = 0;
        for (QPushButton *button : h.window->findChildren<QPushButton *>()) {
            QVERIFY(!button->isDefault());
            connect(button, &QAbstractButton::clicked, this,
                    [&, button] { ++(button == widget ? targetClicks : otherClicks); });
        }
        widget->setFocus();
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(widget, &press);
        QCOMPARE(targetClicks, clicks);
        QCOMPARE(otherClicks, 0);
    }

    // Each port option names the device a download on it goes to, as the user will see it.
    void portToolTips()
    {
        MainWindowHarness h(false, "[Ports],/dev/ttyUSB0,,tcp://192.0.2.7:4001,<b>COM</b>\r\n");
        const QStringList devices = {"/dev/ttyUSB0", defaultPortDevice(2), "tcp://192.0.2.7:4001",
                                     "<b>COM</b>"};
        for (int i = 0; i < PortCount; ++i) {
            const QString tip = h.portOption(i)->toolTip();
            QTextDocument shown;
            shown.setHtml(tip);
            QCOMPARE(Qt::mightBeRichText(tip) ? shown.toPlainText() : tip, devices[i]);
        }
    }

    void downloadSwitchesWindowsAndRestoresThem()
    {
        MainWindowHarness h;
        h.clickLine(5);
        h.clickLine(8, Qt::ControlModifier);
        typeText(h.goToEdit(), QStringLiteral("3"));
        h.firstLineEdit()->setText(QStringLiteral("abc"));
        h.secondLineEdit()->setText(QStringLiteral("def"));
        QCOMPARE(h.list()->topLine(), 3);

        bool checked = false;
        h.pause->onFirstPause = [&] {
            checked = true;
            QVERIFY(!h.window->isVisible());
            QVERIFY(h.window->progressWindow() && h.window->progressWindow()->isVisible());
            for (int i = 0; i < 4; ++i)
                QVERIFY(!h.portOption(i)->isEnabled());
            QCOMPARE(h.window->progressWindow()->findChild<QProgressBar *>()->value(), 0);
        };
        h.click(h.sendAllButton());
        QVERIFY(checked);

        QVERIFY(h.window->isVisible());
        QVERIFY(!h.window->progressWindow()->isVisible());
        for (int i = 0; i < 4; ++i)
            QVERIFY(h.portOption(i)->isEnabled());
        QCOMPARE(h.selectedRows(), (QList<int>{5, 8}));
        QCOMPARE(h.list()->currentRow(), 8);
        QCOMPARE(h.list()->topLine(), 3);
        QCOMPARE(h.fields(), QStringList({"3", "abc", "def"}));

        // Every message went out on Com1 with CR, and the progress window ended at 999.
        QCOMPARE(h.port->portNumber, qint16(1));
        QVERIFY(!h.port->opened);
        QVERIFY(h.port->bytes.startsWith(emptyPair(0, "\r")));
        QVERIFY(h.port->bytes.endsWith(emptyPair(999, "\r")));
        QCOMPARE(h.pause->pauses.count(200), 1000);
        QWidget *progress = h.window->progressWindow();
        QCOMPARE(progress->findChild<QProgressBar *>()->value(), 999);
        QCOMPARE(progress->findChild<QLabel *>(objectName::ProgressLabel)->text(),
                 QStringLiteral("999"));
        QVERIFY(h.messageBox->texts.isEmpty());
    }

    void sendSelectionAfterShiftClickRange()
    {
        MainWindowHarness h;
        h.click(h.portOption(2));
        h.click(h.lfCheck());
        QVERIFY(h.portOption(2)->isChecked() && !h.portOption(0)->isChecked());
        h.modify(4, QStringLiteral("four"));
        h.clickLine(3);
        h.clickLine(6, Qt::ShiftModifier);
        QCOMPARE(h.selectedRows(), (QList<int>{3, 4, 5, 6}));

        // Unsaved work is copied before the run, not during it.
        qsizetype copies = -1;
        h.pause->onFirstPause = [&] {
            copies = QDir(h.recoveryFolder()).entryList(QDir::Files).size();
        };
        h.click(h.sendSelectionButton());
        QCOMPARE(copies, 1);
        const QByteArray crlf = "\r\n";
        QCOMPARE(h.port->bytes, emptyPair(3, crlf) + "N4\r\nMfour" + QByteArray(28, ' ') + crlf +
                                    emptyPair(5, crlf) + emptyPair(6, crlf));
        QCOMPARE(h.port->portNumber, qint16(3));
        QCOMPARE(h.pause->pauses.count(200), 4);
        QVERIFY(h.portOption(2)->isChecked());
    }

    void downloadErrorIsReported()
    {
        MainWindowHarness h;
        h.port->failOpen = true;
        // The message stands over the main window, which is usable again.
        bool overMainWindow = false;
        h.messageBox->onShow = [&] {
            overMainWindow = h.window->isVisible() && h.portOption(3)->isEnabled() &&
                             !h.window->progressWindow()->isVisible();
        };
        h.click(h.sendAllButton());
        QVERIFY(overMainWindow);
        QCOMPARE(h.messageBox->texts,
                 QStringList{QStringLiteral("Error while sending data to port: /dev/fake1")});
        QVERIFY(h.window->isVisible());
        QVERIFY(!h.window->progressWindow()->isVisible());
        for (int i = 0; i < 4; ++i)
            QVERIFY(h.portOption(i)->isEnabled());
        QVERIFY(h.port->bytes.isEmpty());
        // The next download works again; a greyed "CR" counts as unchecked.
        h.port->failOpen = false;
        h.crCheck()->setCheckState(Qt::PartiallyChecked);
        h.clickLine(0);
        h.click(h.sendSelectionButton());
        QCOMPARE(h.port->bytes, emptyPair(0, ""));
        QCOMPARE(h.messageBox->texts.size(), 1);
    }

    // Posted work is done during the run's pauses, while the main window is hidden, not only
    // when the run is over: also with pauses of 0, which leave no time for it.
    void downloadKeepsAnsweringTheWindowSystem()
    {
        MainWindowHarness h(true, "[Delay]\r\n0\r\n0\r\n");
        QCOMPARE(h.window->state().CharDelay, qint16(0));
        h.clickLine(0);
        bool ranDuringRun = false;
        QTimer::singleShot(0, h.window.get(), [&] { ranDuringRun = !h.window->isVisible(); });
        h.click(h.sendSelectionButton());
        QVERIFY(ranDuringRun);
        QCOMPARE(h.port->bytes, emptyPair(0, "\r"));
    }

    // Closing the window from the running event loop ends it, progress window included; the
    // watchdog fails the test if nothing does.
    void closingEndsTheProgram()
    {
        MainWindowHarness h;
        h.clickLine(1);
        h.click(h.sendSelectionButton()); // creates the progress window
        QTimer watchdog;
        watchdog.callOnTimeout(qApp, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        QTimer::singleShot(0, h.window.get(), [&] { h.window->close(); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!h.window->isVisible());
        QVERIFY(!h.window->progressWindow()->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
