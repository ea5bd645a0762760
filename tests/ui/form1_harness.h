#pragma once

#include "fake_dialogs.h"
#include "fake_download.h"
#include "main_window.h"
#include "message_list_widget.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
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
    void pause(qint32 ms) override
    {
        if (pauses.isEmpty() && onFirstPause)
            onFirstPause();
        FakePause::pause(ms);
    }
    std::function<void()> onFirstPause;
};

// The main window, shown, on fake port, pause, file dialog and message box, with no settings
// file. With `realPause` the window keeps its own steady pause; `settings` becomes setup.ini.
struct Form1Harness
{
    explicit Form1Harness(bool realPause = false, const QByteArray &settings = {})
    {
        Form1Services services;
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
        services.settingsFile = dir.filePath(QStringLiteral("setup.ini"));
        QFile file(services.settingsFile);
        if (!settings.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write(settings);
        file.close();
        window = std::make_unique<Form1>(std::move(services));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    MessageListWidget *list() const { return child<MessageListWidget>(QStringLiteral("List1")); }
    QString line(int i) const { return list()->item(i)->text(); }
    QLineEdit *text(int n) const { return child<QLineEdit>(QStringLiteral("Text%1").arg(n)); }
    QStringList fields() const { return {text(1)->text(), text(2)->text(), text(3)->text()}; }
    QPushButton *command(int n) const
    {
        return child<QPushButton>(QStringLiteral("Command%1").arg(n));
    }
    QRadioButton *option(int i) const
    {
        return child<QRadioButton>(QStringLiteral("Option1_%1").arg(i));
    }
    QCheckBox *check(int n) const { return child<QCheckBox>(QStringLiteral("Check%1").arg(n)); }
    void click(QWidget *w) const { QTest::mouseClick(w, Qt::LeftButton); }

    // Clicks list line i on the viewport, as the user does.
    void clickLine(int i, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QListWidget *l = list();
        l->scrollToItem(l->item(i));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, modifiers,
                          l->visualItemRect(l->item(i)).center());
    }
    // Clicks line i, types both halves into the fields and clicks "Modify".
    void modify(int i, const QString &first, const QString &second = {}) const
    {
        clickLine(i);
        typeText(text(2), first);
        typeText(text(3), second);
        click(command(5));
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (int i = 0; i < list()->count(); ++i) {
            if (list()->item(i)->isSelected())
                rows.append(i);
        }
        return rows;
    }

    QTemporaryDir dir;
    EventLog log;
    FakeSerialPort *port = nullptr;
    WatchingPause *pause = nullptr;
    FakeFileDialog *dialog = nullptr;
    FakeMessageBox *messageBox = nullptr;
    std::unique_ptr<Form1> window;
};

} // namespace norvane::test
