// SPDX-License-Identifier: MIT
#include "main_window.h"

#include "charset.h"
#include "enter_clicks_button.h"
#include "field_input_filter.h"
#include "fonts.h"
#include "message_file.h"
#include "message_list_model.h"
#include "message_list_view.h"
#include "object_names.h"
#include "progress_window.h"
#include "qt_file_dialog.h"
#include "qt_message_box_view.h"
#include "serial_port_factory.h"
#include "steady_pause.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QThread>

#include <chrono>
#include <optional>
#include <tuple>

namespace norvane {

namespace {

constexpr qreal FieldPointSize = 12.0;

// Places a control at its client-area rectangle and gives it its object name.
template <typename Widget> Widget *place(Widget *widget, const QString &name, const QRect &geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A push button that is never a default button; Enter or Return presses it while it has the focus.
QPushButton *button(QWidget *parent, const QString &name, const QString &caption,
                    const QRect &geometry, QObject *enterClicks)
{
    auto *b = place(new QPushButton(caption, parent), name, geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->installEventFilter(enterClicks);
    return b;
}

// A port's device name as its option button's tooltip, shown as plain text whatever it holds.
QString deviceToolTip(const QString &device)
{
    return Qt::mightBeRichText(device) ? Qt::convertFromPlainText(device, Qt::WhiteSpaceNoWrap)
                                       : device;
}

QLineEdit *field(QWidget *parent, const QString &name, const QRect &geometry, int maxLength)
{
    auto *edit = place(new QLineEdit(parent), name, geometry);
    edit->setFont(fixedPitchFont(FieldPointSize));
    edit->setMaxLength(maxLength);
    edit->setValidator(new FieldInputFilter(edit));
    return edit;
}

} // namespace

std::unique_ptr<SteadyPause> makeWindowPause()
{
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> answered;
    return std::make_unique<SteadyPause>([answered](std::chrono::nanoseconds budget) mutable {
        // The window system is answered when there is time for it before the next character,
        // for at most half that time: an event is not interrupted once it runs.
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(budget / 2).count();
        const Clock::time_point now = Clock::now();
        if (ms < 1) {
            // Pauses too short to leave that time (a few milliseconds or none) would keep it
            // waiting for the whole run: the windows swapped at its start would not be settled
            // when it ends, and a desktop takes a window that answers nothing for seconds for
            // hung. So it is answered anyway at the first such pause and then four times a
            // second, at the cost of a character a little late now and then.
            if (answered && now - *answered < 250ms)
                return;
            ms = 1;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, int(ms));
        answered = now;
    });
}

MainWindow::MainWindow(MainWindowServices services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_services(std::move(services))
{
    setObjectName(objectName::MainWindow);
    setWindowTitle(QStringLiteral("Quorlan v0.3 divisione Ferrim"));
    setFixedSize(ClientWidth, ClientHeight);

    createControls();
    m_listAdapter = std::make_unique<QtMessageList>(*m_messageList, *m_listModel);

    startUpMainWindow(m_state, *m_listAdapter, m_services.settingsFile);
    m_history = std::make_unique<TableHistory>(m_state.Messages, *m_listAdapter);
    createHistoryActions();
    // The empty table of the start is taken as stored: nothing to recover until the user edits.
    m_recovery = std::make_unique<RecoveryCopies>(m_state.Messages, m_services.recoveryFolder,
                                                  m_services.recoveryInterval);
    // Each port option tells where a download on it goes.
    for (int i = 0; i < PortCount; ++i)
        m_portOptions[i]->setToolTip(deviceToolTip(m_state.ports[i]));

    if (!m_services.makeSerialPort)
        m_services.makeSerialPort = [](const PortDevices &devices) {
            return makeSerialPort(devices);
        };
    if (!m_services.makePause)
        m_services.makePause = [] { return makeWindowPause(); };
    if (!m_services.fileDialog)
        m_services.fileDialog = std::make_unique<QtFileDialog>(this);
    if (!m_services.messageBox)
        m_services.messageBox = std::make_unique<QtMessageBoxView>(this);
    m_serialPort = m_services.makeSerialPort(m_state.ports);
    m_pause = m_services.makePause();

    connectEvents();
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::progressWindow() const
{
    return m_progress.window();
}

void MainWindow::createControls()
{
    auto *enterClicks = new EnterClicksButton(this);
    m_messageList =
        place(new MessageListView(this), objectName::MessageList, QRect(0, 24, 473, 260));
    m_messageList->setFont(fixedPitchFont(FieldPointSize));
    m_listModel = new MessageListModel(m_state.Messages, this);
    m_messageList->setModel(m_listModel);

    m_loadButton = button(this, objectName::LoadButton, QStringLiteral("Load"),
                          QRect(480, 24, 145, 41), enterClicks);
    m_saveAsButton = button(this, objectName::SaveAsButton, QStringLiteral("Save As"),
                            QRect(480, 72, 145, 41), enterClicks);
    m_newButton = button(this, objectName::NewButton, QStringLiteral("New"),
                         QRect(480, 120, 145, 41), enterClicks);
    m_sendAllButton = button(this, objectName::SendAllButton, QStringLiteral("Send all"),
                             QRect(480, 168, 145, 41), enterClicks);
    m_sendSelectionButton =
        button(this, objectName::SendSelectionButton, QStringLiteral("Send selection"),
               QRect(480, 216, 145, 41), enterClicks);
    m_modifyButton = button(this, objectName::ModifyButton, QStringLiteral("Modify"),
                            QRect(328, 304, 89, 41), enterClicks);

    m_goToLabel = place(new QLabel(QStringLiteral("Go to number"), this), objectName::GoToLabel,
                        QRect(480, 288, 145, 17));
    m_goToLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_goToEdit = field(this, objectName::GoToEdit, QRect(520, 320, 73, 27), 3);
    m_goToEdit->setAlignment(Qt::AlignCenter);
    m_firstLineEdit =
        field(this, objectName::FirstLineEdit, QRect(112, 296, 201, 25), DisplayLineLength);
    m_secondLineEdit =
        field(this, objectName::SecondLineEdit, QRect(112, 328, 201, 25), DisplayLineLength);

    for (int i = 0; i < PortCount; ++i) {
        m_portOptions[i] = place(new QRadioButton(QStringLiteral("Com%1").arg(i + 1), this),
                                 objectName::PortOptions[i], QRect(8 + 64 * i, 0, 65, 17));
    }
    m_portOptions[0]->setChecked(true);

    m_crCheck = place(new QCheckBox(QStringLiteral("CR"), this), objectName::CrCheck,
                      QRect(480, 0, 57, 17));
    m_crCheck->setChecked(true);
    m_lfCheck = place(new QCheckBox(QStringLiteral("LF"), this), objectName::LfCheck,
                      QRect(544, 0, 65, 17));

    const QList<QWidget *> tabOrder = {
        m_messageList,    m_loadButton,     m_saveAsButton,   m_newButton,
        m_sendAllButton,  m_goToEdit,       m_firstLineEdit,  m_secondLineEdit,
        m_modifyButton,   m_portOptions[0], m_portOptions[1], m_portOptions[2],
        m_portOptions[3], m_crCheck,        m_lfCheck,        m_sendSelectionButton};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_messageList->setFocus(Qt::OtherFocusReason);

    // What a screen reader says of a control besides its own text: a name where the control shows
    // none, and what it is for. The port options' descriptions are their tooltips, the devices.
    const std::tuple<QWidget *, QString, QString> spoken[] = {
        {m_messageList, QStringLiteral("Messages"),
         QStringLiteral("The 1000 messages, each as its number and text")},
        {m_goToEdit, QStringLiteral("Go to number"),
         QStringLiteral("Scrolls the list so that this message number is the top line")},
        {m_firstLineEdit, QStringLiteral("First display line"),
         QStringLiteral("Characters 1 to 16 of the current message")},
        {m_secondLineEdit, QStringLiteral("Second display line"),
         QStringLiteral("Characters 17 to 32 of the current message")},
        {m_loadButton, {}, QStringLiteral("Reads a message file into the table")},
        {m_saveAsButton, {}, QStringLiteral("Writes the table to a message file")},
        {m_newButton, {}, QStringLiteral("Empties all 1000 messages")},
        {m_sendAllButton, {}, QStringLiteral("Sends messages 0 to 999 to the display")},
        {m_sendSelectionButton, {}, QStringLiteral("Sends the selected messages to the display")},
        {m_modifyButton, {}, QStringLiteral("Stores the two display lines as the current message")},
        {m_crCheck, {}, QStringLiteral("Ends every record with a carriage return")},
        {m_lfCheck, {}, QStringLiteral("Ends every record with a line feed")},
    };
    for (const auto &[control, name, description] : spoken) {
        if (!name.isEmpty())
            control->setAccessibleName(name);
        control->setAccessibleDescription(description);
    }
}

void MainWindow::createHistoryActions()
{
    QUndoStack &steps = m_history->steps();
    // Named for the step they would take back or take again ("Undo New", "Redo Modify 12"), and
    // greyed when there is none.
    m_undoAction = steps.createUndoAction(this, QStringLiteral("Undo"));
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = steps.createRedoAction(this, QStringLiteral("Redo"));
    m_redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    // Both are in the list's context menu; their keys work anywhere in the window but in a text
    // field (see eventFilter).
    m_messageList->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_messageList->addAction(m_undoAction);
    m_messageList->addAction(m_redoAction);
    for (QLineEdit *edit : {m_goToEdit, m_firstLineEdit, m_secondLineEdit})
        edit->installEventFilter(this);
}

void MainWindow::connectEvents()
{
    connect(m_loadButton, &QPushButton::clicked, this, [this] { loadClicked(); });
    connect(m_saveAsButton, &QPushButton::clicked, this, [this] { saveAsClicked(); });
    connect(m_newButton, &QPushButton::clicked, this, [this] { newClicked(); });
    connect(m_sendAllButton, &QPushButton::clicked, this, [this] { download(false); });
    connect(m_modifyButton, &QPushButton::clicked, this, [this] { modifyClicked(); });
    connect(m_sendSelectionButton, &QPushButton::clicked, this, [this] { download(true); });

    // A click on a line and a move of the current line with the keyboard both count as a
    // click on the list.
    connect(m_messageList, &QListView::clicked, this, [this] { listLineClicked(); });
    connect(m_messageList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { listLineClicked(); });

    connect(m_goToEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { goToNumberChanged(text); });

    // After an undo or a redo the fields show the current line's halves, as after a click.
    connect(m_undoAction, &QAction::triggered, this, [this] { listLineClicked(); });
    connect(m_redoAction, &QAction::triggered, this, [this] { listLineClicked(); });
}

void MainWindow::loadClicked()
{
    bool loaded = false;
    m_history->record(QStringLiteral("Load"), [this, &loaded] {
        loaded = LoadMessageFile(m_state.Messages, *m_listAdapter, *m_services.fileDialog,
                                 *m_services.messageBox);
    });
    if (loaded)
        m_recovery->markStored();
}

void MainWindow::saveAsClicked()
{
    if (SaveMessageFile(m_state.Messages, *m_services.fileDialog, *m_services.messageBox))
        m_recovery->markStored();
}

void MainWindow::newClicked()
{
    m_history->record(QStringLiteral("New"),
                      [this] { ClearMessages(m_state.Messages, *m_listAdapter); });
    m_messageList->viewport()->repaint();
}

void MainWindow::modifyClicked()
{
    const qint16 index = qint16(m_messageList->currentRow());
    m_history->record(QStringLiteral("Modify %1").arg(index), [this, index] {
        ModifyMessage(m_state.Messages, *m_listAdapter, index, textToBytes(m_firstLineEdit->text()),
                      textToBytes(m_secondLineEdit->text()));
    });
}

void MainWindow::listLineClicked()
{
    const std::optional<DisplayLines> lines =
        SplitMessage(m_state.Messages, qint16(m_messageList->currentRow()));
    if (!lines)
        return;
    // The halves go in as stored, control bytes of a loaded entry included.
    FieldInputFilter::setTextUnfiltered(*m_firstLineEdit, bytesToText(lines->first));
    FieldInputFilter::setTextUnfiltered(*m_secondLineEdit, bytesToText(lines->second));
}

void MainWindow::goToNumberChanged(const QString &text)
{
    GoToNumber(*m_listAdapter, textToBytes(text));
}

DownloadRequest MainWindow::downloadRequest(bool selectedOnly) const
{
    DownloadRequest request;
    request.messages = m_state.Messages;
    if (selectedOnly) {
        MessageSelection selection;
        for (const QModelIndex &index : m_messageList->selectionModel()->selectedIndexes())
            selection.set(std::size_t(index.row()));
        request.selection = selection;
    }
    // Only a checked box counts; the greyed state is as good as unchecked.
    request.terminator = recordTerminator(m_crCheck->checkState() == Qt::Checked,
                                          m_lfCheck->checkState() == Qt::Checked);
    // The chosen option's port; there is always one, but without one the port would be 0.
    request.portNumber = 0;
    for (int i = 0; i < PortCount; ++i) {
        if (m_portOptions[i]->isChecked())
            request.portNumber = qint16(i + 1);
    }
    request.charPause = pauseLength(m_state.CharDelay);
    request.recordPause = pauseLength(m_state.RecordDelay);
    return request;
}

void MainWindow::download(bool selectedOnly)
{
    // The pauses keep answering the window system; should a click still reach a button while
    // a run is going, it must not start a second one.
    if (m_downloading)
        return;
    m_downloading = true;
    const DownloadRequest request = downloadRequest(selectedOnly);
    // Nothing can change the table while the run goes on: unsaved work is copied now, so that no
    // copy is written, and no character held up by it, during the run.
    m_recovery->writeCopy();

    // The port options are greyed, then the progress window takes this window's place.
    setPortOptionsEnabled(false);
    m_progress.start();
    hide();
    m_progress.show();

    const DownloadResult result = runDownload(request, *m_serialPort, *m_pause, m_progress);

    m_progress.hide();
    comeBack();
    setPortOptionsEnabled(true);
    // Told only now, so the message box stands over this window again.
    if (result.outcome == DownloadOutcome::Failed)
        m_services.messageBox->showMessage(failureText(result));
    m_downloading = false;
}

void MainWindow::setPortOptionsEnabled(bool enabled)
{
    for (QRadioButton *option : m_portOptions)
        option->setEnabled(enabled);
}

void MainWindow::comeBack()
{
    // When the window system takes the keyboard from a window, Qt keeps that window as its focus
    // window for a moment (on X11 a tenth of a second) in case it comes straight back, while the
    // widgets already count the hidden window as inactive. Given the keyboard back within that
    // moment, the window gets it but is never told it is active again. A short run ends within
    // it, or before the window system's answers were read at all, so the moment is waited out
    // here: nothing is visible then, and it takes a tenth of a second at most on a quiet machine.
    constexpr int MaxWaitMs = 1000;
    constexpr unsigned long StepMs = 5;
    QDeadlineTimer deadline(MaxWaitMs);
    while (isHidden() && QGuiApplication::focusWindow() &&
           QGuiApplication::focusWindow() == windowHandle() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(StepMs);
    }
    // The window takes the keyboard again, so the next key press reaches it and not whatever
    // window the window system would otherwise pick.
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program, the progress window with it; unsaved work is
    // kept in one more recovery copy.
    if (QWidget *progress = m_progress.window())
        progress->hide();
    m_recovery->writeCopy();
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // In a text field the undo and redo keys are the field's own and undo its typing; they are
    // kept from the undo and redo of the table.
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        for (const QAction *action : {m_undoAction, m_redoAction}) {
            if (action->shortcuts().contains(pressed)) {
                event->accept();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace norvane
