#pragma once

#include "download_controls.h"

#include <array>

class QCheckBox;
class QListWidget;
class QRadioButton;
class QWidget;

namespace norvane {

// The main window's controls as a download reads and switches them.
class Form1Controls : public DownloadControls
{
public:
    Form1Controls(QWidget &window, QListWidget &list, QCheckBox &cr, QCheckBox &lf,
                  const std::array<QRadioButton *, 4> &options)
        : m_window(window), m_list(list), m_cr(cr), m_lf(lf), m_options(options)
    {
    }

    Qt::CheckState crCheckState() const override;
    Qt::CheckState lfCheckState() const override;
    bool optionValue(int i) const override;
    void setOptionEnabled(int i, bool enabled) override;
    bool isLineSelected(int j) const override;
    void hideMainWindow() override;
    void showMainWindow() override;

private:
    QWidget &m_window;
    QListWidget &m_list;
    QCheckBox &m_cr;
    QCheckBox &m_lf;
    std::array<QRadioButton *, 4> m_options;
};

} // namespace norvane
