// SPDX-License-Identifier: MIT
#pragma once

#include "file_dialog.h"
#include "message_box_view.h"

#include <QStringList>
#include <functional>

namespace norvane::test {

// A file dialog that answers with a preset name, or cancels when none is set.
class FakeFileDialog : public FileDialog
{
public:
    std::optional<QString> showOpen() override
    {
        ++opens;
        return answer;
    }
    std::optional<QString> showSave() override
    {
        ++saves;
        return answer;
    }

    std::optional<QString> answer; // nullopt: the user cancels
    int opens = 0;
    int saves = 0;
};

// A message box that records the texts it was asked to show, and can look around as it shows.
class FakeMessageBox : public MessageBoxView
{
public:
    void showMessage(const QString &text) override
    {
        texts.append(text);
        if (onShow)
            onShow();
    }
    QStringList texts;
    std::function<void()> onShow;
};

} // namespace norvane::test
