// SPDX-License-Identifier: MIT
#pragma once

#include "fake_dialogs.h"
#include "fake_download.h"
#include "main_window.h"
#include "message_list_view.h"
#include "object_names.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

namespace norvane::test {

// Types text into a widget one key press per character, any character of Unicode included.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A pause that can look at the screen at its first pause, while the download is under way.
struct WatchingPause : FakePause
{
    using FakePause::FakePause;
    void pause(std::chrono::milliseconds length) override
    {
        if (pauses.isEmpty() && onFirstPause)
            onFirstPause();
        FakePause::pause(length);
    }
    std::function<void()> onFirstPause;
};

// The main window, shown, on fake port, pause, file dialog and message box, with no settings
// file. With `realPause` the window keeps its own steady pause; `settings` becomes setup.ini.
struct MainWindowHarness
{
    explicit MainWindowHarness(bool realPause = false, const QByteArray &settings = {})
    {
        MainWindowServices services;
        services.makeSerialPort = [this](const PortDevices &) {
            auto p = std::make_unique<FakeSerialPort>(log);
            port = p.get();
            return p;
        };
        if (!realPause) {
            services.makePause = [this] {
                auto p = std::make_unique<WatchingPause>(log);
                pause = p.get();
                return p;
            };
        }
        services.fileDialog.reset(dialog = new FakeFileDialog);
        services.messageBox.reset(messageBox = new FakeMessageBox);
        services.settingsFile = dir.filePath(SettingsFileName);
        services.recoveryFolder = recoveryFolder();
        QFile file(services.settingsFile);
        if (!settings.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write(settings);
        file.close();
        window = std::make_unique<MainWindow>(std::move(services));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    // The controls by role.
    MessageListView *list() const { return child<MessageListView>(objectName::MessageList); }
    QPushButton *loadButton() const { return child<QPushButton>(objectName::LoadButton); }
    QPushButton *saveAsButton() const { return child<QPushButton>(objectName::SaveAsButton); }
    QPushButton *newButton() const { return child<QPushButton>(objectName::NewButton); }
    QPushButton *sendAllButton() const { return child<QPushButton>(objectName::SendAllButton); }
    QPushButton *modifyButton() const { return child<QPushButton>(objectName::ModifyButton); }
    QPushButton *sendSelectionButton() const
    {
        return child<QPushButton>(objectName::SendSelectionButton);
    }
    QLineEdit *goToEdit() const { return child<QLineEdit>(objectName::GoToEdit); }
    QLineEdit *firstLineEdit() const { return child<QLineEdit>(objectName::FirstLineEdit); }
    QLineEdit *secondLineEdit() const { return child<QLineEdit>(objectName::SecondLineEdit); }
    QCheckBox *crCheck() const { return child<QCheckBox>(objectName::CrCheck); }
    QCheckBox *lfCheck() const { return child<QCheckBox>(objectName::LfCheck); }
    // Port option i, "Com1" to "Com4" for 0 to 3.
    QRadioButton *portOption(int i) const
    {
        return child<QRadioButton>(objectName::PortOptions.at(i));
    }

    // Where the window keeps its recovery copies.
    QString recoveryFolder() const { return dir.filePath(QStringLiteral("unsaved")); }

    QModelIndex index(int i) const { return list()->model()->index(i, 0); }
    QString line(int i) const { return index(i).data().toString(); }
    // The texts of the go-to field and of the two display-line fields.
    QStringList fields() const
    {
        return {goToEdit()->text(), firstLineEdit()->text(), secondLineEdit()->text()};
    }
    void click(QWidget *w) const { QTest::mouseClick(w, Qt::LeftButton); }

    // Clicks list line i on the viewport, as the user does.
    void clickLine(int i, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        MessageListView *l = list();
        l->scrollTo(index(i));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, modifiers,
                          l->visualRect(index(i)).center());
    }
    // Clicks line i, types both halves into the fields and clicks "Modify".
    void modify(int i, const QString &first, const QString &second = {}) const
    {
        clickLine(i);
        typeText(firstLineEdit(), first);
        typeText(secondLineEdit(), second);
        click(modifyButton());
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &selected : list()->selectionModel()->selectedIndexes())
            rows.append(selected.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QTemporaryDir dir;
    EventLog log;
    FakeSerialPort *port = nullptr;
    WatchingPause *pause = nullptr;
    FakeFileDialog *dialog = nullptr;
    FakeMessageBox *messageBox = nullptr;
    std::unique_ptr<MainWindow> window;
};

} // namespace norvane::test
