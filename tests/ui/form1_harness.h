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
class WatchingPause : public FakePause
{
public:
    using FakePause::FakePause;
    void pause(qint32 ms) override
    {
        if (pauses.isEmpty() && onFirstPause)
            onFirstPause();
        FakePause::pause(ms);
    }
    std::function<void()> onFirstPause;
};

// The main window on fake port, pause, file dialog and message box, with no settings file.
struct Form1Harness
{
    // With `realPause` the window keeps its own steady pause; `settings` becomes setup.ini.
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
        auto d = std::make_unique<FakeFileDialog>();
        dialog = d.get();
        services.fileDialog = std::move(d);
        auto b = std::make_unique<FakeMessageBox>();
        messageBox = b.get();
        services.messageBox = std::move(b);
        services.settingsFile = dir.filePath(QStringLiteral("setup.ini"));
        if (!settings.isEmpty()) {
            QFile file(services.settingsFile);
            if (file.open(QIODevice::WriteOnly))
                file.write(settings);
        }
        window = std::make_unique<Form1>(std::move(services));
    }

    template <typename T = QWidget> T *child(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    MessageListWidget *list() const { return child<MessageListWidget>(QStringLiteral("List1")); }
    QLineEdit *text(int n) const { return child<QLineEdit>(QStringLiteral("Text%1").arg(n)); }
    QPushButton *command(int n) const
    {
        return child<QPushButton>(QStringLiteral("Command%1").arg(n));
    }
    QRadioButton *option(int i) const
    {
        return child<QRadioButton>(QStringLiteral("Option1_%1").arg(i));
    }
    QCheckBox *check(int n) const { return child<QCheckBox>(QStringLiteral("Check%1").arg(n)); }

    // Clicks list line i on the viewport, as the user does.
    void clickLine(int i, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QListWidget *l = list();
        l->scrollToItem(l->item(i));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, modifiers,
                          l->visualItemRect(l->item(i)).center());
    }

    void showAndWait() const
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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
