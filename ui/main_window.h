// SPDX-License-Identifier: MIT
#pragma once

// The main window. How the program is put together, layer by layer, is in CONTRIBUTING.md.

#include "download_run.h"
#include "file_dialog.h"
#include "main_window_state.h"
#include "message_box_view.h"
#include "pause.h"
#include "qt_message_list.h"
#include "qt_progress_view.h"
#include "recovery_copies.h"
#include "serial_port.h"
#include "table_history.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace norvane {

class MessageListModel;
class MessageListView;
class SteadyPause;

// The pause the main window keeps unless given another: a steady pause that answers the window
// system during a download whenever that cannot delay the next character.
std::unique_ptr<SteadyPause> makeWindowPause();

// What the main window works with besides its widgets. Whatever is left empty gets the real
// component: the Qt serial port on the devices read at start-up, the steady pause, the Qt file
// dialog and message box, "setup.ini" in the working directory, and recovery copies of unsaved
// work every minute in the user's data folder (an empty folder name writes none).
struct MainWindowServices
{
    std::function<std::unique_ptr<SerialPort>(const PortDevices &)> makeSerialPort;
    std::function<std::unique_ptr<Pause>()> makePause;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBoxView> messageBox;
    QString settingsFile = SettingsFileName;
    QString recoveryFolder = RecoveryCopies::defaultFolder();
    std::chrono::milliseconds recoveryInterval = std::chrono::minutes(1);
};

// The main window: the message list, the fields, the buttons, the port and terminator choices.
// Each control event runs one operation on the window's state. Constructing it reads the
// settings file and fills the list, before the window first appears.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 629;
    static constexpr int ClientHeight = 360;

    explicit MainWindow(MainWindowServices services = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    const MainWindowState &state() const { return m_state; }
    // The progress window, or nullptr before the first download.
    QWidget *progressWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createHistoryActions();
    void connectEvents();

    void loadClicked();
    void saveAsClicked();
    void newClicked();
    void modifyClicked();
    void listLineClicked();
    void goToNumberChanged(const QString &text);
    // "Send all" (selectedOnly false) and "Send selection".
    void download(bool selectedOnly);
    // What the controls ask a download for, with the table as it is now.
    DownloadRequest downloadRequest(bool selectedOnly) const;
    void setPortOptionsEnabled(bool enabled);
    // Back from a download: shown again and holding the keyboard.
    void comeBack();

    MainWindowState m_state;
    MainWindowServices m_services;

    // The controls, named by role; their object names are in object_names.h.
    MessageListView *m_messageList = nullptr;
    QPushButton *m_loadButton = nullptr;
    QPushButton *m_saveAsButton = nullptr;
    QPushButton *m_newButton = nullptr;
    QPushButton *m_sendAllButton = nullptr;
    QPushButton *m_modifyButton = nullptr;
    QPushButton *m_sendSelectionButton = nullptr;
    QLineEdit *m_goToEdit = nullptr;
    QLineEdit *m_firstLineEdit = nullptr;
    QLineEdit *m_secondLineEdit = nullptr;
    QLabel *m_goToLabel = nullptr;
    QCheckBox *m_crCheck = nullptr;
    QCheckBox *m_lfCheck = nullptr;
    std::array<QRadioButton *, PortCount> m_portOptions{}; // "Com1" to "Com4"

    // What the logic sees of them.
    MessageListModel *m_listModel = nullptr; // shows m_state.Messages in m_messageList
    std::unique_ptr<QtMessageList> m_listAdapter;
    std::unique_ptr<TableHistory> m_history;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    std::unique_ptr<RecoveryCopies> m_recovery;
    QtProgressView m_progress;
    std::unique_ptr<SerialPort> m_serialPort;
    std::unique_ptr<Pause> m_pause;
    bool m_downloading = false;
};

} // namespace norvane
