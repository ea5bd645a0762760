#pragma once

#include "download_controls.h"
#include "port_settings.h"

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
    Form1Controls(QWidget &window, QListWidget &list, QCheckBox &crCheck, QCheckBox &lfCheck,
                  const std::array<QRadioButton *, PortCount> &portOptions)
        : m_window(window), m_list(list), m_crCheck(crCheck), m_lfCheck(lfCheck),
          m_portOptions(portOptions)
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
    // Waits until Qt no longer counts the hidden main window as the one with the keyboard.
    void settleFocusAwayFromHiddenWindow();

    QWidget &m_window;
    QListWidget &m_list;
    QCheckBox &m_crCheck;
    QCheckBox &m_lfCheck;
    std::array<QRadioButton *, PortCount> m_portOptions;
};

} // namespace norvane
