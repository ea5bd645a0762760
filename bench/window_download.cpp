// SPDX-License-Identifier: MIT
#include "window_download.h"

#include "delay_settings.h"
#include "message_list_view.h"
#include "object_names.h"
#include "serial_port_factory.h"
#include "steady_pause.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>

namespace norvane {

// The message box keeps its text instead of waiting for a click.
class KeptMessage : public MessageBoxView
{
public:
    void showMessage(const QString &text) override { message = text; }
    QString message;
};

WindowDownload::WindowDownload(const BenchOptions &options, const QString &device,
                               SteadyPause::PriorityPolicy priority, const PipeLine *pipe)
    : m_options(options)
{
    const QString settings = m_dir.filePath(SettingsFileName);
    QFile file(settings);
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("[Delay]\r\n%1\r\n%2\r\n[Ports],\"%3\"\r\n")
                   .arg(options.charDelay)
                   .arg(options.recordDelay)
                   .arg(device)
                   .toLocal8Bit());
    file.close();

    MainWindowServices services;
    services.settingsFile = settings;
    const std::chrono::milliseconds gap = pauseLength(options.charDelay);
    services.makeSerialPort = [this, gap, pipe](const PortDevices &devices) {
        auto timed =
            std::make_unique<TimedSerialPort>(pipe ? pipe->port() : makeSerialPort(devices), gap);
        m_port = timed.get();
        return timed;
    };
    services.makePause = [this, priority] {
        auto timed = std::make_unique<TimedPause>(makeWindowPause());
        timed->steadyPause().setPriorityPolicy(priority);
        m_pause = timed.get();
        return timed;
    };
    auto messageBox = std::make_unique<KeptMessage>();
    m_messageBox = messageBox.get();
    services.messageBox = std::move(messageBox);
    m_window = std::make_unique<MainWindow>(std::move(services));

    m_window->findChild<QCheckBox *>(objectName::CrCheck)
        ->setChecked(options.terminator.contains('\r'));
    m_window->findChild<QCheckBox *>(objectName::LfCheck)
        ->setChecked(options.terminator.contains('\n'));
    auto *list = m_window->findChild<MessageListView *>(objectName::MessageList);
    for (int j = 0; j < options.messages.value_or(0); ++j)
        list->selectionModel()->select(list->model()->index(j, 0), QItemSelectionModel::Select);
    m_window->show();
    QCoreApplication::processEvents();
}

WindowDownload::~WindowDownload() = default;

bool WindowDownload::click()
{
    const QString button =
        m_options.messages ? objectName::SendSelectionButton : objectName::SendAllButton;
    m_window->findChild<QPushButton *>(button)->click();
    return m_messageBox->message.isEmpty();
}

QString WindowDownload::message() const
{
    return m_messageBox->message;
}

} // namespace norvane
