#include "form1_controls.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QThread>

namespace norvane {

Qt::CheckState Form1Controls::crCheckState() const
{
    return m_crCheck.checkState();
}

Qt::CheckState Form1Controls::lfCheckState() const
{
    return m_lfCheck.checkState();
}

bool Form1Controls::optionValue(int i) const
{
    return i >= 0 && i < int(m_portOptions.size()) && m_portOptions[i]->isChecked();
}

void Form1Controls::setOptionEnabled(int i, bool enabled)
{
    if (i >= 0 && i < int(m_portOptions.size()))
        m_portOptions[i]->setEnabled(enabled);
}

bool Form1Controls::isLineSelected(int j) const
{
    const QListWidgetItem *item = m_list.item(j);
    return item && item->isSelected();
}

void Form1Controls::hideMainWindow()
{
    m_window.hide();
}

void Form1Controls::showMainWindow()
{
    settleFocusAwayFromHiddenWindow();
    // Back from a download the window takes the keyboard again, so the next key press reaches it
    // and not whatever window the window system would otherwise pick.
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void Form1Controls::settleFocusAwayFromHiddenWindow()
{
    // When the window system takes the keyboard from a window, Qt keeps that window as its focus
    // window for a moment (on X11 a tenth of a second) in case it comes straight back, while the
    // widgets already count the hidden window as inactive. Given the keyboard back within that
    // moment, the window gets it but is never told it is active again. A short run ends within
    // it, or before the window system's answers were read at all, so the moment is waited out
    // here: nothing is visible then, and it takes a tenth of a second at most on a quiet machine.
    constexpr int MaxWaitMs = 1000;
    constexpr unsigned long StepMs = 5;
    QDeadlineTimer deadline(MaxWaitMs);
    while (m_window.isHidden() && QGuiApplication::focusWindow() &&
           QGuiApplication::focusWindow() == m_window.windowHandle() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(StepMs);
    }
}

} // namespace norvane
