// SPDX-License-Identifier: MIT
#include "main_window_harness.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QToolTip>

using namespace norvane;
using namespace norvane::test;

namespace {

// Saves the whole screen as `name`.png and the part `window` covers as `name`-cropped.png,
// once the X server has mapped and drawn the window.
void saveScreen(const QString &name, QWidget *window)
{
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(300);
    const QDir dir(qEnvironmentVariable("NORVANE_ARTIFACTS", NORVANE_DEFAULT_ARTIFACTS));
    QVERIFY(dir.mkpath(QStringLiteral(".")));
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(screen.save(dir.filePath(name + QStringLiteral(".png"))));
    QVERIFY(screen.copy(window->frameGeometry()).save(dir.filePath(name + "-cropped.png")));
}

} // namespace

class ScreenshotTest : public QObject
{
    Q_OBJECT
private slots:
    void bothWindows()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        MainWindowHarness h;
        h.modify(2, QStringLiteral("Welcome to"), QStringLiteral("Quorlan Ferrim"));
        h.modify(1, QStringLiteral("Norvane message"), QStringLiteral("second line"));
        typeText(h.goToEdit(), QStringLiteral("0"));
        saveScreen(QStringLiteral("main-window"), h.window.get());

        // The first pause comes with message 500, half way through the run.
        bool taken = false;
        h.pause->onFirstPause = [&] {
            QWidget *progress = h.window->progressWindow();
            QVERIFY(progress && progress->isVisible());
            saveScreen(QStringLiteral("progress-window"), progress);
            QCOMPARE(progress->mapToGlobal(QPoint(0, 0)), QPoint(184, 250));
            QCOMPARE(progress->findChild<QLabel *>(objectName::ProgressLabel)->text(),
                     QStringLiteral("500"));
            taken = true;
        };
        h.clickLine(500);
        h.click(h.sendSelectionButton());
        QVERIFY(taken);
        QVERIFY(h.window->isVisible());
    }

    // The tooltip of "Com1", mapped to a USB adapter, as the mouse resting on it brings it up.
    void portToolTip()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X display (DISPLAY is not set)");
        MainWindowHarness h(
            false, "[Ports],/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3ZQ1-if00-port0");
        QRadioButton *com1 = h.portOption(0);
        const QPoint at = com1->rect().center();
        QHelpEvent hover(QEvent::ToolTip, at, com1->mapToGlobal(at));
        QApplication::sendEvent(com1, &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), com1->toolTip());
        saveScreen(QStringLiteral("port-tooltip"), h.window.get());
    }
};

int main(int argc, char *argv[])
{
    // Without an X display the test skips instead of failing to start.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "screenshot_test.moc"
