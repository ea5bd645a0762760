#pragma once

// The main window, and a map of the program for whoever reads it first.
//
// Naming: names that come with the design stay as they are: the controls' object names (kind plus
// number, "Command1", "Text2": see object_names.h, the only place in the program that spells them)
// and the procedures and data of the table, the file and the download (ClearMessages,
// ModifyMessage, LoadMessageFile, SendString, ReadDelaySettings, Messages, CharDelay, ...).
// Everything else is ours and named by its role: functions and variables in camelCase, members with
// m_, types and constants in PascalCase (m_loadButton, runDownload, readMessageFile, MessageCount).
//
// Four libraries, each seeing only those listed before it:
// - interfaces/ (header-only, Qt Core): how the logic reaches what it does not own. MessageList,
//   FileDialog, MessageBoxView, DownloadControls, ProgressView, SerialPort, Pause.
// - store/ (Qt Core): the message table and its list lines, the message file, and the text
//   helpers (field reader, number conversion, Windows-1252). Works on a MessageList, a FileDialog
//   and a MessageBoxView.
// - download/ (Qt Core, SerialPort): the settings file, the paced serial output, the download
//   run, and the real SerialPort (local and network ports) and Pause (SteadyPause).
// - ui/ (Widgets): this window and the progress window, and the adapters that implement the
//   control interfaces with widgets: MessageListAdapter, Form1Controls, ProgressWindowView,
//   QtFileDialog, QtMessageBox.
// Form1 owns the program's data (MainWindowState, filled by startUpMainWindow) and wires each
// control's event to one operation of store/ or download/, handing it the adapters. The tests
// hand the same operations fakes of the interfaces (tests/fakes/) and drive this window through
// Form1Harness (tests/ui/), which finds the controls by role.

#include "download_run.h"
#include "file_dialog.h"
#include "form1_controls.h"
#include "main_window_state.h"
#include "message_box_view.h"
#include "message_list_adapter.h"
#include "pause.h"
#include "progress_window_view.h"
#include "serial_port.h"

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace norvane {

class MessageListWidget;
class SteadyPause;

// The pause the main window keeps unless given another: a steady pause that answers the window
// system during a download whenever that cannot delay the next character.
std::unique_ptr<SteadyPause> makeWindowPause();

// What the main window works with besides its widgets. Whatever is left empty gets the real
// component: the Qt serial port on the devices read at start-up, the steady pause, the Qt file
// dialog and message box, and "setup.ini" in the working directory.
struct Form1Services
{
    std::function<std::unique_ptr<SerialPort>(const PortDevices &)> makeSerialPort;
    std::function<std::unique_ptr<Pause>()> makePause;
    std::unique_ptr<FileDialog> fileDialog;
    std::unique_ptr<MessageBoxView> messageBox;
    QString settingsFile = SettingsFileName;
};

// The main window: the message list, the fields, the buttons, the port and terminator choices.
// Each control event runs one operation on the window's state. Constructing it reads the
// settings file and fills the list, before the window first appears.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 629;
    static constexpr int ClientHeight = 360;

    explicit Form1(Form1Services services = {}, QWidget *parent = nullptr);
    ~Form1() override;

    const MainWindowState &state() const { return m_state; }
    // The progress window, or nullptr before the first download.
    QWidget *progressWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectEvents();

    void loadClicked();
    void saveAsClicked();
    void newClicked();
    void modifyClicked();
    void listLineClicked();
    void goToNumberChanged(const QString &text);
    void download(DownloadScope scope);

    MainWindowState m_state;
    Form1Services m_services;

    // The controls, named by role; their object names are in object_names.h.
    MessageListWidget *m_messageList = nullptr;
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
    std::unique_ptr<MessageListAdapter> m_listAdapter;
    std::unique_ptr<Form1Controls> m_downloadControls;
    ProgressWindowView m_progress;
    std::unique_ptr<SerialPort> m_serialPort;
    std::unique_ptr<Pause> m_pause;
    bool m_downloading = false;
};

} // namespace norvane
