// SPDX-License-Identifier: MIT
#include "progress_window.h"
#include "qt_progress_view.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

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
        ProgressWindow window;
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

        // A screen reader names the bar and tells what the number is.
        QCOMPARE(
            QAccessible::queryAccessibleInterface(window.progressBar())->text(QAccessible::Name),
            QStringLiteral("Progress"));
        QVERIFY(!QAccessible::queryAccessibleInterface(window.label())
                     ->text(QAccessible::Description)
                     .isEmpty());
    }

    // The window is made, hidden, when a download starts.
    void showsAtItsFixedPlaceAndRefusesCloseWhileRunning()
    {
        QtProgressView view;
        QVERIFY(!view.window());
        view.start();
        QVERIFY(view.window() && !view.window()->isVisible());
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

        // A later run starts with an empty bar and keeps the last number until it shows its first.
        view.showNumber(999);
        view.hide();
        view.start();
        QCOMPARE(view.window()->progressBar()->value(), 0);
        view.show();
        QCOMPARE(view.window()->label()->text(), QStringLiteral("999"));
        QCOMPARE(view.window()->geometry().topLeft(), QPoint(184, 250));
    }

    // No event loop runs during a download: the repaint must happen inside showNumber().
    void refreshRepaintsAtOnce()
    {
        QtProgressView view;
        view.start();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(view.window()));
        QCoreApplication::processEvents();
        PaintCounter counter;
        view.window()->label()->installEventFilter(&counter);
        view.window()->progressBar()->installEventFilter(&counter);
        view.showNumber(7);
        QCOMPARE_GE(counter.paints, 2);
        QCOMPARE(view.window()->progressBar()->value(), 7);
        QCOMPARE(view.window()->label()->text(), QStringLiteral("7"));
        view.hide();
    }
};

QTEST_MAIN(ProgressWindowTest)
#include "progress_window_test.moc"
