#include "progress_window_view.h"

#include "progress_window.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace norvane {

ProgressWindowView::ProgressWindowView() = default;
ProgressWindowView::~ProgressWindowView() = default;

ShowCompleting &ProgressWindowView::ensureWindow()
{
    if (!m_window)
        m_window = std::make_unique<ShowCompleting>();
    return *m_window;
}

void ProgressWindowView::setValue(float value)
{
    QProgressBar *bar = ensureWindow().progressBar();
    // The bar takes whole steps; values outside 0..1000 (NaN included) are held at its ends.
    const float held = value >= 0.0f ? std::min(value, 1000.0f) : 0.0f;
    bar->setValue(int(held));
}

void ProgressWindowView::setCaption(const QString &text)
{
    ensureWindow().label()->setText(text);
}

void ProgressWindowView::refresh()
{
    ensureWindow().repaint();
}

void ProgressWindowView::show()
{
    ShowCompleting &window = ensureWindow();
    window.setRunning(true);
    window.showAtFixedPlace();
}

void ProgressWindowView::hide()
{
    ShowCompleting &window = ensureWindow();
    window.setRunning(false);
    window.hide();
}

} // namespace norvane
