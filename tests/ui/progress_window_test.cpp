#include "progress_window.h"
#include "progress_window_view.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <limits>

using namespace norvane;

namespace {

// Counts the paint events the widgets it watches receive.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class ProgressWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void windowAndControls()
    {
        ShowCompleting window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Please wait while sending data"));
        QCOMPARE(window.minimumSize(), QSize(479, 77));
        QCOMPARE(window.maximumSize(), QSize(479, 77));
        QCOMPARE(window.windowType(), Qt::Tool);
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window.findChild<QWidget *>("ProgressBar1")->geometry(), QRect(47, 16, 385, 33));
        QCOMPARE(window.findChild<QWidget *>("Label1")->geometry(), QRect(448, 64, 25, 17));
        QCOMPARE(window.progressBar()->maximum(), 1000);

        // The label shows three digits within its width, and within the client area, which it
        // reaches below.
        const QFontMetrics metrics(window.label()->font());
        for (const char *digits : {"888", "999"})
            QCOMPARE_LE(metrics.horizontalAdvance(digits), window.label()->width());
        QCOMPARE_LE(window.label()->y() + metrics.ascent() + metrics.descent(), window.height());
    }

    void barValue_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("shown");
        QTest::newRow("first number") << 0.0f << 0;
        QTest::newRow("last number") << 999.0f << 999;
        QTest::newRow("above the range") << 1500.0f << 1000;
        QTest::newRow("below the range") << -3.0f << 0;
        QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    }
    // The window is made, hidden, by the first value it is given.
    void barValue()
    {
        QFETCH(float, value);
        QFETCH(int, shown);
        ProgressWindowView view;
        QVERIFY(!view.window());
        view.setValue(500);
        QVERIFY(view.window() && !view.window()->isVisible());
        view.setValue(value);
        QCOMPARE(view.window()->progressBar()->value(), shown);
    }

    void showsAtItsFixedPlaceAndRefusesCloseWhileRunning()
    {
        ProgressWindowView view;
        view.setValue(0);
        view.window()->move(10, 10);
        view.show();
        QVERIFY(view.window()->isVisible());
        QCOMPARE(view.window()->geometry(), QRect(184, 250, 479, 77));
        QCloseEvent running;
        QCoreApplication::sendEvent(view.window(), &running);
        QVERIFY(!running.isAccepted());
        QVERIFY(view.window()->isVisible());

        view.hide();
        QVERIFY(!view.window()->isVisible());
        QCloseEvent idle;
        QCoreApplication::sendEvent(view.window(), &idle);
        QVERIFY(idle.isAccepted());

        // A later run keeps what the last one showed until it sets new values.
        view.setCaption(QStringLiteral("999"));
        view.show();
        QCOMPARE(view.window()->label()->text(), QStringLiteral("999"));
        QCOMPARE(view.window()->geometry().topLeft(), QPoint(184, 250));
    }

    // No event loop runs during a download: the repaint must happen inside refresh().
    void refreshRepaintsAtOnce()
    {
        ProgressWindowView view;
        view.setValue(0);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(view.window()));
        QCoreApplication::processEvents();
        PaintCounter counter;
        view.window()->label()->installEventFilter(&counter);
        view.window()->progressBar()->installEventFilter(&counter);
        view.setValue(7);
        view.setCaption(QStringLiteral("7"));
        view.refresh();
        QCOMPARE_GE(counter.paints, 2);
        view.hide();
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "progress_window_test.moc"
