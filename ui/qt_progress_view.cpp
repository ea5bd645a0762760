#include "qt_progress_view.h"

#include "progress_window.h"

#include <QLabel>
#include <QProgressBar>

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
}

void QtProgressView::hide()
{
    ProgressWindow &window = ensureWindow();
    window.setRunning(false);
    window.hide();
}

} // namespace norvane
