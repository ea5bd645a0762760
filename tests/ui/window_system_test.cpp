// SPDX-License-Identifier: MIT
#include "main_window_harness.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

using namespace norvane;
using namespace norvane::test;

namespace {

// Notes the progress label's text at each of its paints.
struct LabelPaints : QObject
{
    QStringList texts;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && object->objectName() == objectName::ProgressLabel)
            texts.append(static_cast<QLabel *>(object)->text());
        return false;
    }
};

} // namespace

// What only a real window system shows: which window has the keyboard, the keys as X11 binds
// them, and what is painted on the screen.
class WindowSystemTest : public QObject
{
    Q_OBJECT
private slots:
    // Back from a download, the main window has the keyboard again, its focus where it was.
    void activeAfterDownload()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        // One message at pauses of 1 ms: the run is over within the moment for which Qt keeps
        // the hidden window as its focus window, and reads hardly anything from the X server.
        MainWindowHarness h(true, "[Delay]\r\n1\r\n1\r\n");
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.clickLine(3);
        h.sendSelectionButton()->setFocus();

        h.click(h.sendSelectionButton());
        QCOMPARE(h.port->bytes.left(3), QByteArray("N3\r"));
        // On failure: which window Qt gives the keyboard to, and which one the widgets count
        // active.
        const auto focus = [] {
            const QWindow *w = QGuiApplication::focusWindow();
            const QWidget *a = QApplication::activeWindow();
            return QStringLiteral("focus window %1, active window %2")
                .arg(w ? w->objectName() : QStringLiteral("none"),
                     a ? a->objectName() : QStringLiteral("none"));
        };
        QTRY_VERIFY2(h.window->isActiveWindow(), qPrintable(focus()));
        QCOMPARE(QApplication::focusWidget(), h.sendSelectionButton());
    }

    // In a text field the undo and redo keys are the field's own, Ctrl+Y too, which X11's key
    // scheme leaves unbound there: none of them undoes or redoes the table.
    void historyKeysStayInTextFields()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        MainWindowHarness h;
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.modify(1, QStringLiteral("one"));
        h.modify(2, QStringLiteral("two"));
        h.list()->setFocus();
        QTest::keyClick(h.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(h.line(2), QStringLiteral("  2: "));

        const MessageTable table = h.window->state().Messages;
        for (QLineEdit *edit : {h.goToEdit(), h.firstLineEdit(), h.secondLineEdit()}) {
            edit->setFocus();
            for (const QKeyCombination keys :
                 {Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z})
                QTest::keyClick(edit, keys.key(), keys.keyboardModifiers());
        }
        QVERIFY(h.window->state().Messages == table);
    }

    // "Send selection" paints every number from 0 on the screen, the first download (which makes
    // the progress window) too, before the first pause and without any.
    void everyNumberIsPainted_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("nothing selected") << QList<int>{};
        QTest::newRow("5 and 900") << QList<int>{5, 900};
    }
    void everyNumberIsPainted()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        QFETCH(QList<int>, selected);
        MainWindowHarness h;
        for (const int n : selected)
            h.clickLine(n, Qt::ControlModifier);
        LabelPaints paints;
        qApp->installEventFilter(&paints);
        h.click(h.sendSelectionButton());
        qApp->removeEventFilter(&paints);
        for (int n = 0; n < MessageCount; ++n)
            QVERIFY2(paints.texts.contains(QString::number(n)), qPrintable(QString::number(n)));
    }
};

int main(int argc, char *argv[])
{
    // Without an X display the test skips instead of failing to start.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    WindowSystemTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_system_test.moc"
