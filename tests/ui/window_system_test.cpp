#include "form1_harness.h"

#include <QApplication>

using namespace norvane;
using namespace norvane::test;

// What only a real window system shows: which window has the keyboard.
class WindowSystemTest : public QObject
{
    Q_OBJECT
private slots:
    // Back from a download, the main window has the keyboard again, its focus where it was.
    void activeAfterDownload()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        Form1Harness h(true, "[Delay]\r\n1\r\n1\r\n");
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        h.clickLine(3);
        h.sendSelectionButton()->setFocus();

        h.click(h.sendSelectionButton());
        QCOMPARE(h.port->bytes.left(3), QByteArray("N3\r"));
        QTRY_VERIFY(h.window->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), h.sendSelectionButton());
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
