#pragma once

#include <qnamespace.h>

namespace norvane {

// What a download reads and switches on the main window.
class DownloadControls
{
public:
    virtual ~DownloadControls() = default;
    // The state of the check box "CR" (Check1) / "LF" (Check2); greyed is PartiallyChecked.
    virtual Qt::CheckState crCheckState() const = 0;
    virtual Qt::CheckState lfCheckState() const = 0;
    // Whether option button i (0..3, "Com1".."Com4") is the chosen one.
    virtual bool optionValue(int i) const = 0;
    virtual void setOptionEnabled(int i, bool enabled) = 0;
    // Whether list line j is selected.
    virtual bool isLineSelected(int j) const = 0;
    virtual void hideMainWindow() = 0;
    virtual void showMainWindow() = 0;
};

} // namespace norvane
