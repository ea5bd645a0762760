// SPDX-License-Identifier: MIT
#include "qt_progress_view.h"

#include "progress_window.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QWindow>

namespace norvane {

QtProgressView::QtProgressView() = default;
QtProgressView::~QtProgressView() = default;

ProgressWindow &QtProgressView::ensureWindow()
{
    if (!m_window)
        m_window = std::make_unique<ProgressWindow>();
    return *m_window;
}

void QtProgressView::start()
{
    ensureWindow().progressBar()->setValue(0);
}

void QtProgressView::showNumber(int number)
{
    ProgressWindow &window = ensureWindow();
    window.progressBar()->setValue(number);
    window.label()->setText(QString::number(number));
    window.repaint();
}

void QtProgressView::show()
{
    ProgressWindow &window = ensureWindow();
    window.setRunning(true);
    window.showAtFixedPlace();
    // The download repaints the window once per number and takes no events in between: until
    // the window system has put the window on the screen, those repaints go nowhere, and with
    // nothing to send (no pause, so no events at all) the window would never be painted. So the
    // run starts once the window is on the screen, or after a second should that never happen.
    constexpr int MaxWaitMs = 1000;
    constexpr unsigned long StepMs = 2;
    const QDeadlineTimer deadline(MaxWaitMs);
    const auto onScreen = [&window] {
        return window.windowHandle() && window.windowHandle()->isExposed();
    };
    while (!onScreen() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!onScreen())
            QThread::msleep(StepMs);
    }
}

void QtProgressView::hide()
{
    ProgressWindow &window = ensureWindow();
    window.setRunning(false);
    window.hide();
}

} // namespace norvane
