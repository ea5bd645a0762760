#include "form1_controls.h"

#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>

namespace norvane {

namespace {

int checkValue(const QCheckBox &box)
{
    switch (box.checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

} // namespace

int Form1Controls::crCheckValue() const
{
    return checkValue(m_cr);
}

int Form1Controls::lfCheckValue() const
{
    return checkValue(m_lf);
}

bool Form1Controls::optionValue(int i) const
{
    return i >= 0 && i < int(m_options.size()) && m_options[i]->isChecked();
}

void Form1Controls::setOptionEnabled(int i, bool enabled)
{
    if (i >= 0 && i < int(m_options.size()))
        m_options[i]->setEnabled(enabled);
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
    m_window.show();
}

} // namespace norvane
