#include "form1_harness.h"

#include "charset.h"
#include "progress_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

using namespace norvane;
using namespace norvane::test;

namespace {

QString lineText(const Form1Harness &h, int i)
{
    return h.list()->item(i)->text();
}

QList<int> selectedRows(const QListWidget *list)
{
    QList<int> rows;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            rows.append(i);
    }
    return rows;
}

// The rectangle a line edit draws its text in, worked out the way QLineEdit paints.
QRect textArea(const QLineEdit *edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    QRect r = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    r = r.marginsRemoved(edit->textMargins());
    const int horizontalMargin = 2; // QLineEdit's fixed inner margins
    const int verticalMargin = 1;
    return r.adjusted(horizontalMargin, verticalMargin, -horizontalMargin, -verticalMargin);
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
    void startUpState();
    void geometry_data();
    void geometry();
    void tabOrder();
    void fieldLimits_data();
    void fieldLimits();
    void fieldsShowTheirCharacters_data();
    void fieldsShowTheirCharacters();
    void focusDoesNotMakeALineCurrent();
    void newKeepsFieldTexts();
    void modifyAndSplitThroughTheWidgets();
    void goToNumber_data();
    void goToNumber();
    void loadAndSave();
    void fileErrors_data();
    void fileErrors();
    void downloadSwitchesWindowsAndRestoresThem();
    void sendSelectionAfterShiftClickRange();
    void downloadErrorIsReported();
    void downloadKeepsAnsweringTheWindowSystem();
    void closingEndsTheProgram();
};

void MainWindowTest::startUpState()
{
    Form1Harness h;
    h.showAndWait();
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Quorlan v0.3 divisione Ferrim"));
    QCOMPARE(h.window->minimumSize(), QSize(629, 360));
    QCOMPARE(h.window->maximumSize(), QSize(629, 360));

    QCOMPARE(h.list()->count(), 1000);
    QCOMPARE(lineText(h, 0), QStringLiteral("  0: "));
    QCOMPARE(lineText(h, 10), QStringLiteral(" 10: "));
    QCOMPARE(lineText(h, 999), QStringLiteral("999: "));
    QVERIFY(h.list()->selectedItems().isEmpty());
    QCOMPARE(h.list()->currentRow(), -1);
    QCOMPARE(h.list()->topLine(), 0);

    for (int n = 1; n <= 3; ++n)
        QVERIFY(h.text(n)->text().isEmpty());
    QVERIFY(h.option(0)->isChecked());
    for (int i = 1; i < 4; ++i)
        QVERIFY(!h.option(i)->isChecked());
    QVERIFY(h.check(1)->isChecked());
    QVERIFY(!h.check(2)->isChecked());

    // Start-up read the defaults and made no progress window.
    QCOMPARE(h.window->state().CharDelay, qint16(10));
    QCOMPARE(h.window->state().RecordDelay, qint16(200));
    QVERIFY(!h.window->progressWindow());
}

void MainWindowTest::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("rect");
    // Layout in pixels at 96 dots per inch (designer twips / 15).
    QTest::newRow("List1") << "List1"
                           << "" << QRect(0, 24, 473, 260);
    QTest::newRow("Command1") << "Command1"
                              << "Load" << QRect(480, 24, 145, 41);
    QTest::newRow("Command2") << "Command2"
                              << "Save As" << QRect(480, 72, 145, 41);
    QTest::newRow("Command3") << "Command3"
                              << "New" << QRect(480, 120, 145, 41);
    QTest::newRow("Command4") << "Command4"
                              << "Send all" << QRect(480, 168, 145, 41);
    QTest::newRow("Label1") << "Label1"
                            << "Go to number" << QRect(480, 288, 145, 17);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(520, 320, 73, 27);
    QTest::newRow("Text2") << "Text2"
                           << "" << QRect(112, 296, 201, 25);
    QTest::newRow("Text3") << "Text3"
                           << "" << QRect(112, 328, 201, 25);
    QTest::newRow("Command5") << "Command5"
                              << "Modify" << QRect(328, 304, 89, 41);
    QTest::newRow("Option1_0") << "Option1_0"
                               << "Com1" << QRect(8, 0, 65, 17);
    QTest::newRow("Option1_1") << "Option1_1"
                               << "Com2" << QRect(72, 0, 65, 17);
    QTest::newRow("Option1_2") << "Option1_2"
                               << "Com3" << QRect(136, 0, 65, 17);
    QTest::newRow("Option1_3") << "Option1_3"
                               << "Com4" << QRect(200, 0, 65, 17);
    QTest::newRow("Check1") << "Check1"
                            << "CR" << QRect(480, 0, 57, 17);
    QTest::newRow("Check2") << "Check2"
                            << "LF" << QRect(544, 0, 65, 17);
    QTest::newRow("Command6") << "Command6"
                              << "Send selection" << QRect(480, 216, 145, 41);
}

void MainWindowTest::geometry()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, rect);
    Form1Harness h;
    h.showAndWait();
    QWidget *w = h.child(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
    QVERIFY(w->isVisible());
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(b->text(), caption);
    if (auto *l = qobject_cast<QLabel *>(w))
        QCOMPARE(l->text(), caption);
}

void MainWindowTest::tabOrder()
{
    Form1Harness h;
    const QStringList expected = {"List1",     "Command1",  "Command2",  "Command3",
                                  "Command4",  "Text1",     "Text2",     "Text3",
                                  "Command5",  "Option1_0", "Option1_1", "Option1_2",
                                  "Option1_3", "Check1",    "Check2",    "Command6"};
    QStringList chain;
    QWidget *w = h.list();
    do {
        if (expected.contains(w->objectName()))
            chain.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w != h.list() && chain.size() < expected.size());
    QCOMPARE(chain, expected);
    QCOMPARE(h.child(QStringLiteral("Label1"))->focusPolicy(), Qt::NoFocus);
}

void MainWindowTest::fieldLimits_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<QString>("kept");
    const QString seventeen = QString(17, QLatin1Char('A'));
    QTest::newRow("Text2 refuses a 17th character")
        << 2 << seventeen << false << seventeen.left(16);
    QTest::newRow("Text3 refuses a 17th character")
        << 3 << seventeen << false << seventeen.left(16);
    QTest::newRow("Text1 refuses a 4th character") << 1 << "1234" << false << "123";
    QTest::newRow("pasted text is cut to the length")
        << 2 << QString(20, 'x') << true << QString(16, 'x');
    QTest::newRow("8-bit characters are taken")
        << 2 << QStringLiteral("é€ß½") << false << QStringLiteral("é€ß½");
    QTest::newRow("a typed non-8-bit character is refused")
        << 3 << QStringLiteral("aπb") << false << QStringLiteral("ab");
    QTest::newRow("a paste with a non-8-bit character is refused")
        << 2 << QStringLiteral("ok\u4e2d") << true << QString();
}

void MainWindowTest::fieldLimits()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(bool, pasted);
    QFETCH(QString, kept);
    Form1Harness h;
    h.showAndWait();
    QLineEdit *edit = h.text(field);
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

void MainWindowTest::fieldsShowTheirCharacters_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("characters");
    QTest::newRow("Text1") << 1 << 3;
    QTest::newRow("Text2") << 2 << 16;
    QTest::newRow("Text3") << 3 << 16;
}

void MainWindowTest::fieldsShowTheirCharacters()
{
    QFETCH(int, field);
    QFETCH(int, characters);
    Form1Harness h;
    h.showAndWait();
    const QLineEdit *edit = h.text(field);
    QVERIFY(QFontInfo(edit->font()).fixedPitch());
    const QFontMetrics metrics(edit->font());
    const QRect area = textArea(edit);
    // The widest character of the 8-bit set, repeated, must fit without scrolling.
    QVERIFY2(metrics.horizontalAdvance(QString(characters, QLatin1Char('W'))) <= area.width(),
             qPrintable(QStringLiteral("needs %1 px, has %2 px")
                            .arg(metrics.horizontalAdvance(QString(characters, 'W')))
                            .arg(area.width())));
    QVERIFY2(metrics.height() <= area.height(),
             qPrintable(QStringLiteral("needs %1 px high, has %2 px")
                            .arg(metrics.height())
                            .arg(area.height())));
}

void MainWindowTest::focusDoesNotMakeALineCurrent()
{
    Form1Harness h;
    h.showAndWait();
    h.text(2)->setFocus();
    h.list()->setFocus(Qt::TabFocusReason);
    QVERIFY(h.list()->hasFocus());
    QCOMPARE(h.list()->currentRow(), -1);

    // "Modify" without a current line changes nothing.
    typeText(h.text(2), QStringLiteral("X"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    for (int i = 0; i < 1000; ++i)
        QVERIFY(h.window->state().Messages[i].isEmpty());
    QCOMPARE(lineText(h, 0), QStringLiteral("  0: "));

    // The keyboard then moves to a line like a click does.
    h.list()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(h.list(), Qt::Key_Down);
    QCOMPARE(h.list()->currentRow(), 0);
    QCOMPARE(h.text(2)->text(), QString());
}

void MainWindowTest::newKeepsFieldTexts()
{
    Form1Harness h;
    h.showAndWait();
    h.clickLine(3);
    h.text(2)->setText(QStringLiteral("first"));
    h.text(3)->setText(QStringLiteral("second"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    QVERIFY(!h.window->state().Messages[3].isEmpty());
    h.text(1)->setText(QStringLiteral("20"));

    QTest::mouseClick(h.command(3), Qt::LeftButton);
    QCOMPARE(h.list()->count(), 1000);
    QCOMPARE(lineText(h, 3), QStringLiteral("  3: "));
    QVERIFY(h.window->state().Messages[3].isEmpty());
    QCOMPARE(h.text(1)->text(), QStringLiteral("20"));
    QCOMPARE(h.text(2)->text(), QStringLiteral("first"));
    QCOMPARE(h.text(3)->text(), QStringLiteral("second"));
    QCOMPARE(h.list()->topLine(), 0);
}

void MainWindowTest::modifyAndSplitThroughTheWidgets()
{
    Form1Harness h;
    h.showAndWait();
    h.clickLine(3);
    QCOMPARE(h.list()->currentRow(), 3);
    typeText(h.text(2), QStringLiteral("HELLO"));
    typeText(h.text(3), QStringLiteral("Grüße"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);

    const QString first = QStringLiteral("HELLO") + QString(11, ' ');
    const QString second = QStringLiteral("Grüße") + QString(11, ' ');
    QCOMPARE(lineText(h, 3), QStringLiteral("  3: ") + first + second);
    QCOMPARE(h.window->state().Messages[3], textToBytes(first + second));
    QCOMPARE(lineText(h, 2), QStringLiteral("  2: "));
    QCOMPARE(lineText(h, 4), QStringLiteral("  4: "));

    // Another line fills the fields with its (empty) halves; coming back brings the padded ones.
    h.clickLine(4);
    QCOMPARE(h.text(2)->text(), QString());
    QCOMPARE(h.text(3)->text(), QString());
    h.clickLine(3);
    QCOMPARE(h.text(2)->text(), first);
    QCOMPARE(h.text(3)->text(), second);

    // Clicking the current line again undoes unsaved edits of the fields.
    h.text(2)->setText(QStringLiteral("scratch"));
    h.clickLine(3);
    QCOMPARE(h.text(2)->text(), first);

    // Moving the current line with the keyboard counts as a click.
    QTest::keyClick(h.list(), Qt::Key_Down);
    QCOMPARE(h.list()->currentRow(), 4);
    QCOMPARE(h.text(2)->text(), QString());
    QTest::keyClick(h.list(), Qt::Key_Up);
    QCOMPARE(h.text(3)->text(), second);
}

void MainWindowTest::goToNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("topLine"); // -1: scrolled as far down as it goes
    QTest::newRow("number") << "500" << 500;
    QTest::newRow("number with trailing letters") << "12x" << 12;
    QTest::newRow("cleared field") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("last line") << "999" << -1;
}

void MainWindowTest::goToNumber()
{
    QFETCH(QString, typed);
    QFETCH(int, topLine);
    Form1Harness h;
    h.showAndWait();
    h.clickLine(7);
    typeText(h.text(1), QStringLiteral("300"));
    QCOMPARE(h.list()->topLine(), 300);

    h.text(1)->clear();
    typeText(h.text(1), typed);
    if (topLine >= 0) {
        QCOMPARE(h.list()->topLine(), topLine);
    } else {
        QListWidget *list = h.list();
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
        QVERIFY(list->viewport()->rect().contains(list->visualItemRect(list->item(999))));
        QVERIFY(h.list()->topLine() > 980);
    }
    // Scrolling neither moves the current line nor selects anything else.
    QCOMPARE(h.list()->currentRow(), 7);
    QCOMPARE(selectedRows(h.list()), QList<int>{7});
}

void MainWindowTest::loadAndSave()
{
    Form1Harness h;
    h.showAndWait();
    const QString fileName = h.dir.filePath(QStringLiteral("messages.txt"));

    // Cancelling either dialog does nothing.
    h.text(1)->setText(QStringLiteral("40"));
    QTest::mouseClick(h.command(1), Qt::LeftButton);
    QTest::mouseClick(h.command(2), Qt::LeftButton);
    QCOMPARE(h.dialog->opens, 1);
    QCOMPARE(h.dialog->saves, 1);
    QVERIFY(h.messageBox->texts.isEmpty());
    QCOMPARE(h.list()->topLine(), 40);

    h.clickLine(5);
    h.text(2)->setText(QStringLiteral("saved"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    h.dialog->answer = fileName;
    QTest::mouseClick(h.command(2), Qt::LeftButton);
    QVERIFY(h.messageBox->texts.isEmpty());
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(2000 + 32));

    QTest::mouseClick(h.command(3), Qt::LeftButton);
    QCOMPARE(lineText(h, 5), QStringLiteral("  5: "));
    QTest::mouseClick(h.command(1), Qt::LeftButton);
    QVERIFY(h.messageBox->texts.isEmpty());
    QCOMPARE(lineText(h, 5), QStringLiteral("  5: saved") + QString(27, ' '));
    QCOMPARE(h.text(2)->text(), QStringLiteral("saved"));
}

void MainWindowTest::fileErrors_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("load of a missing file") << 1 << "missing.txt"
                                            << "Error while reading data from file: ";
    QTest::newRow("save into a missing folder") << 2 << "no/such/folder/out.txt"
                                                << "Error while writing data to file: ";
    QTest::newRow("a name holding markup") << 1 << "<b>bold</b>.txt"
                                           << "Error while reading data from file: ";
}

void MainWindowTest::fileErrors()
{
    QFETCH(int, command);
    QFETCH(QString, file);
    QFETCH(QString, message);
    Form1Harness h;
    h.showAndWait();
    h.clickLine(2);
    h.text(2)->setText(QStringLiteral("kept"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);

    const QString fileName = h.dir.filePath(file);
    h.dialog->answer = fileName;
    QTest::mouseClick(h.command(command), Qt::LeftButton);
    QCOMPARE(h.messageBox->texts, QStringList{message + fileName});
    QCOMPARE(lineText(h, 2), QStringLiteral("  2: kept") + QString(28, ' '));
    QVERIFY(h.window->isVisible());
}

void MainWindowTest::downloadSwitchesWindowsAndRestoresThem()
{
    Form1Harness h;
    h.showAndWait();
    h.clickLine(5);
    h.clickLine(8, Qt::ControlModifier);
    typeText(h.text(1), QStringLiteral("3"));
    h.text(2)->setText(QStringLiteral("abc"));
    h.text(3)->setText(QStringLiteral("def"));
    const int topLine = h.list()->topLine();
    QCOMPARE(topLine, 3);

    bool checked = false;
    h.pause->onFirstPause = [&] {
        checked = true;
        QVERIFY(!h.window->isVisible());
        QVERIFY(h.window->progressWindow());
        QVERIFY(h.window->progressWindow()->isVisible());
        for (int i = 0; i < 4; ++i)
            QVERIFY(!h.option(i)->isEnabled());
        auto *bar = h.window->progressWindow()->findChild<QProgressBar *>("ProgressBar1");
        QCOMPARE(bar->value(), 0);
    };
    QTest::mouseClick(h.command(4), Qt::LeftButton);
    QVERIFY(checked);

    QVERIFY(h.window->isVisible());
    QVERIFY(!h.window->progressWindow()->isVisible());
    for (int i = 0; i < 4; ++i)
        QVERIFY(h.option(i)->isEnabled());
    QCOMPARE(selectedRows(h.list()), (QList<int>{5, 8}));
    QCOMPARE(h.list()->currentRow(), 8);
    QCOMPARE(h.list()->topLine(), topLine);
    QCOMPARE(h.text(1)->text(), QStringLiteral("3"));
    QCOMPARE(h.text(2)->text(), QStringLiteral("abc"));
    QCOMPARE(h.text(3)->text(), QStringLiteral("def"));

    // Every message went out on Com1 with CR, and the progress window ended at 999.
    QCOMPARE(h.port->portNumber, qint16(1));
    QVERIFY(!h.port->opened);
    QVERIFY(h.port->bytes.startsWith(emptyPair(0, "\r")));
    QVERIFY(h.port->bytes.endsWith(emptyPair(999, "\r")));
    QCOMPARE(h.pause->pauses.count(200), 1000);
    QWidget *progress = h.window->progressWindow();
    QCOMPARE(progress->findChild<QProgressBar *>("ProgressBar1")->value(), 999);
    QCOMPARE(progress->findChild<QLabel *>("Label1")->text(), QStringLiteral("999"));
    QVERIFY(h.messageBox->texts.isEmpty());
}

void MainWindowTest::sendSelectionAfterShiftClickRange()
{
    Form1Harness h;
    h.showAndWait();
    QTest::mouseClick(h.option(2), Qt::LeftButton);
    QTest::mouseClick(h.check(2), Qt::LeftButton);
    QVERIFY(h.option(2)->isChecked() && !h.option(0)->isChecked());
    h.clickLine(4);
    h.text(2)->setText(QStringLiteral("four"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    h.clickLine(3);
    h.clickLine(6, Qt::ShiftModifier);
    QCOMPARE(selectedRows(h.list()), (QList<int>{3, 4, 5, 6}));

    QTest::mouseClick(h.command(6), Qt::LeftButton);
    const QByteArray crlf = "\r\n";
    const QByteArray expected = emptyPair(3, crlf) + "N4\r\nMfour" + QByteArray(28, ' ') + crlf +
                                emptyPair(5, crlf) + emptyPair(6, crlf);
    QCOMPARE(h.port->bytes, expected);
    QCOMPARE(h.port->portNumber, qint16(3));
    QCOMPARE(h.pause->pauses.count(200), 4);
    QVERIFY(h.option(2)->isChecked());
}

void MainWindowTest::downloadErrorIsReported()
{
    Form1Harness h;
    h.showAndWait();
    h.port->failOpen = true;
    QTest::mouseClick(h.command(4), Qt::LeftButton);
    QCOMPARE(h.messageBox->texts,
             QStringList{QStringLiteral("Error while sending data to port: /dev/fake1")});
    QVERIFY(h.window->isVisible());
    QVERIFY(!h.window->progressWindow()->isVisible());
    for (int i = 0; i < 4; ++i)
        QVERIFY(h.option(i)->isEnabled());
    QVERIFY(h.port->bytes.isEmpty());

    // The next download works again.
    h.port->failOpen = false;
    h.clickLine(0);
    QTest::mouseClick(h.command(6), Qt::LeftButton);
    QCOMPARE(h.port->bytes, emptyPair(0, "\r"));
    QCOMPARE(h.messageBox->texts.size(), 1);
}

void MainWindowTest::downloadKeepsAnsweringTheWindowSystem()
{
    // The window's own pause, with no waiting, so the run is quick.
    Form1Harness h(true, "[Delay]\r\n0\r\n0\r\n");
    QCOMPARE(h.window->state().CharDelay, qint16(0));
    h.showAndWait();
    h.clickLine(0);

    // Posted work is done during the run's pauses, while the main window is hidden, not only
    // when the run is over.
    bool ranDuringRun = false;
    QTimer::singleShot(0, h.window.get(), [&] { ranDuringRun = !h.window->isVisible(); });
    QTest::mouseClick(h.command(6), Qt::LeftButton);
    QVERIFY(ranDuringRun);
    QCOMPARE(h.port->bytes, emptyPair(0, "\r"));
}

void MainWindowTest::closingEndsTheProgram()
{
    Form1Harness h;
    h.showAndWait();
    h.clickLine(1);
    QTest::mouseClick(h.command(6), Qt::LeftButton); // creates the progress window
    QVERIFY(h.window->progressWindow());

    // Closing the window from the running event loop must end it; the watchdog fails the test
    // if nothing does.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    QTimer::singleShot(0, h.window.get(), [&] { h.window->close(); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!h.window->isVisible());
    QVERIFY(!h.window->progressWindow()->isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
