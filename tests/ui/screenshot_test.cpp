#include "form1_harness.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

using namespace norvane;
using namespace norvane::test;

namespace {

QString artifactsDir()
{
    const QString dir = qEnvironmentVariableIsEmpty("NORVANE_ARTIFACTS")
                            ? QStringLiteral(NORVANE_DEFAULT_ARTIFACTS)
                            : qEnvironmentVariable("NORVANE_ARTIFACTS");
    QDir().mkpath(dir);
    return dir;
}

// Saves the whole screen as `name`.png and the part `window` covers as `name`-cropped.png.
void saveScreen(const QString &name, const QWidget *window)
{
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
    QVERIFY(!screen.isNull());
    const QDir dir(artifactsDir());
    QVERIFY(screen.save(dir.filePath(name + QStringLiteral(".png"))));
    const QPixmap cropped = screen.copy(window->frameGeometry());
    QVERIFY(cropped.save(dir.filePath(name + QStringLiteral("-cropped.png"))));
}

// Lets the X server map and draw what was shown.
void settle(QWidget *window)
{
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(300);
}

} // namespace

class ScreenshotTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void bothWindows();
};

void ScreenshotTest::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display (DISPLAY is not set)");
}

void ScreenshotTest::bothWindows()
{
    Form1Harness h;
    h.showAndWait();
    h.clickLine(2);
    typeText(h.text(2), QStringLiteral("Welcome to"));
    typeText(h.text(3), QStringLiteral("Quorlan Ferrim"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    h.clickLine(1);
    typeText(h.text(2), QStringLiteral("Norvane message"));
    typeText(h.text(3), QStringLiteral("second line"));
    QTest::mouseClick(h.command(5), Qt::LeftButton);
    typeText(h.text(1), QStringLiteral("0"));
    settle(h.window.get());
    saveScreen(QStringLiteral("main-window"), h.window.get());

    // The first pause comes with message 500, half way through the run.
    bool taken = false;
    h.pause->onFirstPause = [&] {
        QWidget *progress = h.window->progressWindow();
        QVERIFY(progress && progress->isVisible());
        settle(progress);
        QCOMPARE(progress->mapToGlobal(QPoint(0, 0)), QPoint(184, 250));
        QCOMPARE(progress->findChild<QLabel *>("Label1")->text(), QStringLiteral("500"));
        saveScreen(QStringLiteral("progress-window"), progress);
        taken = true;
    };
    h.clickLine(500);
    QTest::mouseClick(h.command(6), Qt::LeftButton);
    QVERIFY(taken);
    QVERIFY(h.window->isVisible());
}

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
