#include "main_window.h"

#include "charset.h"
#include "field_input_filter.h"
#include "fonts.h"
#include "message_file.h"
#include "message_list_widget.h"
#include "progress_window.h"
#include "qt_file_dialog.h"
#include "qt_message_box.h"
#include "serial_port_factory.h"
#include "steady_pause.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace norvane {

namespace {

constexpr qreal FieldPointSize = 12.0;

// Places a control at its client-area rectangle and names it after the control.
template <typename Widget>
Widget *place(Widget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, int left, int top,
                    int width, int height)
{
    auto *b = place(new QPushButton(caption, parent), name, left, top, width, height);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *field(QWidget *parent, const char *name, int maxLength, int left, int top, int width,
                 int height)
{
    auto *edit = place(new QLineEdit(parent), name, left, top, width, height);
    edit->setFont(fixedPitchFont(FieldPointSize));
    edit->setMaxLength(maxLength);
    edit->setValidator(new FieldInputFilter(edit));
    return edit;
}

} // namespace

Form1::Form1(Form1Services services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_services(std::move(services))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorlan v0.3 divisione Ferrim"));
    setFixedSize(ClientWidth, ClientHeight);

    createControls();
    m_listView = std::make_unique<ListWidgetMessageList>(*m_list);
    m_controls = std::make_unique<Form1Controls>(*this, *m_list, *m_check1, *m_check2, m_options);

    startUpMainWindow(m_state, *m_listView, m_services.settingsFile);

    if (!m_services.makeSerialPort)
        m_services.makeSerialPort = [](const PortDevices &devices) {
            return makeSerialPort(devices);
        };
    if (!m_services.makePause)
        m_services.makePause = [] {
            return std::make_unique<SteadyPause>(
                [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        };
    if (!m_services.fileDialog)
        m_services.fileDialog = std::make_unique<QtFileDialog>(this);
    if (!m_services.messageBox)
        m_services.messageBox = std::make_unique<QtMessageBox>(this);
    m_serialPort = m_services.makeSerialPort(m_state.ports);
    m_pause = m_services.makePause();

    connectEvents();
}

Form1::~Form1() = default;

QWidget *Form1::progressWindow() const
{
    return m_progress.window();
}

void Form1::createControls()
{
    m_list = place(new MessageListWidget(this), "List1", 0, 24, 473, 260);
    m_list->setFont(fixedPitchFont(FieldPointSize));

    m_commands[0] = button(this, "Command1", QStringLiteral("Load"), 480, 24, 145, 41);
    m_commands[1] = button(this, "Command2", QStringLiteral("Save As"), 480, 72, 145, 41);
    m_commands[2] = button(this, "Command3", QStringLiteral("New"), 480, 120, 145, 41);
    m_commands[3] = button(this, "Command4", QStringLiteral("Send all"), 480, 168, 145, 41);
    m_commands[5] = button(this, "Command6", QStringLiteral("Send selection"), 480, 216, 145, 41);
    m_commands[4] = button(this, "Command5", QStringLiteral("Modify"), 328, 304, 89, 41);

    m_label1 = place(new QLabel(QStringLiteral("Go to number"), this), "Label1", 480, 288, 145, 17);
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    m_text1 = field(this, "Text1", 3, 520, 320, 73, 27);
    m_text1->setAlignment(Qt::AlignCenter);
    m_text2 = field(this, "Text2", DisplayLineLength, 112, 296, 201, 25);
    m_text3 = field(this, "Text3", DisplayLineLength, 112, 328, 201, 25);

    static const char *const optionNames[] = {"Option1_0", "Option1_1", "Option1_2", "Option1_3"};
    for (int i = 0; i < PortCount; ++i) {
        m_options[i] = place(new QRadioButton(QStringLiteral("Com%1").arg(i + 1), this),
                             optionNames[i], 8 + 64 * i, 0, 65, 17);
    }
    m_options[0]->setChecked(true);

    m_check1 = place(new QCheckBox(QStringLiteral("CR"), this), "Check1", 480, 0, 57, 17);
    m_check1->setChecked(true);
    m_check2 = place(new QCheckBox(QStringLiteral("LF"), this), "Check2", 544, 0, 65, 17);

    const QList<QWidget *> tabOrder = {m_list,        m_commands[0], m_commands[1], m_commands[2],
                                       m_commands[3], m_text1,       m_text2,       m_text3,
                                       m_commands[4], m_options[0],  m_options[1],  m_options[2],
                                       m_options[3],  m_check1,      m_check2,      m_commands[5]};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    m_list->setFocus(Qt::OtherFocusReason);
}

void Form1::connectEvents()
{
    connect(m_commands[0], &QPushButton::clicked, this, [this] { loadClicked(); });
    connect(m_commands[1], &QPushButton::clicked, this, [this] { saveAsClicked(); });
    connect(m_commands[2], &QPushButton::clicked, this, [this] { newClicked(); });
    connect(m_commands[3], &QPushButton::clicked, this,
            [this] { download(DownloadScope::AllMessages); });
    connect(m_commands[4], &QPushButton::clicked, this, [this] { modifyClicked(); });
    connect(m_commands[5], &QPushButton::clicked, this,
            [this] { download(DownloadScope::SelectedMessages); });

    // A click on a line and a move of the current line with the keyboard both count as a
    // click on the list.
    connect(m_list, &QListWidget::itemClicked, this, [this] { listLineClicked(); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { listLineClicked(); });

    connect(m_text1, &QLineEdit::textChanged, this,
            [this](const QString &text) { goToNumberChanged(text); });
}

void Form1::loadClicked()
{
    LoadMessageFile(m_state.Messages, *m_listView, *m_services.fileDialog, *m_services.messageBox);
}

void Form1::saveAsClicked()
{
    SaveMessageFile(m_state.Messages, *m_services.fileDialog, *m_services.messageBox);
}

void Form1::newClicked()
{
    ClearMessages(m_state.Messages, *m_listView);
    m_list->viewport()->repaint();
}

void Form1::modifyClicked()
{
    ModifyMessage(m_state.Messages, *m_listView, qint16(m_list->currentRow()),
                  textToBytes(m_text2->text()), textToBytes(m_text3->text()));
}

void Form1::listLineClicked()
{
    const std::optional<DisplayLines> lines =
        SplitMessage(m_state.Messages, qint16(m_list->currentRow()));
    if (!lines)
        return;
    // The halves go in as stored, control bytes of a loaded entry included.
    FieldInputFilter::setTextUnfiltered(*m_text2, bytesToText(lines->first));
    FieldInputFilter::setTextUnfiltered(*m_text3, bytesToText(lines->second));
}

void Form1::goToNumberChanged(const QString &text)
{
    GoToNumber(*m_listView, textToBytes(text));
}

void Form1::download(DownloadScope scope)
{
    // The pauses keep answering the window system; should a click still reach a button while
    // a run is going, it must not start a second one.
    if (m_downloading)
        return;
    m_downloading = true;
    runDownload(scope, DownloadData{m_state.Messages, m_state.CharDelay, m_state.RecordDelay},
                *m_controls, m_progress, *m_serialPort, *m_pause, *m_services.messageBox);
    m_downloading = false;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program, the progress window with it.
    if (QWidget *progress = m_progress.window())
        progress->hide();
    event->accept();
}

} // namespace norvane
