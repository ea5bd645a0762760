#include "main_window_harness.h"

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
