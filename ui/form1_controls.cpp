#include "form1_controls.h"

#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>

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
    // Back from a download the window takes the keyboard again, so the next key press reaches it
    // and not whatever window the window system would otherwise pick.
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

} // namespace norvane
