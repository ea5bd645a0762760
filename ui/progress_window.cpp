// SPDX-License-Identifier: MIT
#include "progress_window.h"

#include "fonts.h"
#include "object_names.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

namespace norvane {

ProgressWindow::ProgressWindow()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::WindowDoesNotAcceptFocus),
      m_bar(new QProgressBar(this)), m_label(new QLabel(this))
{
    setObjectName(objectName::ProgressWindow);
    setWindowTitle(QStringLiteral("Please wait while sending data"));
    setFixedSize(ClientSize);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    m_bar->setObjectName(objectName::ProgressBar);
    m_bar->setGeometry(47, 16, 385, 33);
    m_bar->setRange(0, 1000);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setFocusPolicy(Qt::NoFocus);
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setAccessibleDescription(QStringLiteral("How far the download has come through the "
                                                   "message numbers 0 to 999"));

    // The label's lower edge lies 4 pixels below the client area; its top-aligned digits stay
    // visible.
    m_label->setObjectName(objectName::ProgressLabel);
    m_label->setGeometry(448, 64, 25, 17);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setFont(smallLabelFont(6.75, QStringLiteral("999"), m_label->width()));
    m_label->setFocusPolicy(Qt::NoFocus);
    m_label->setAccessibleDescription(QStringLiteral("The number of the message being sent"));

    setGeometry(QRect(ClientPosition, ClientSize));
}

void ProgressWindow::showAtFixedPlace()
{
    // setGeometry places the client area (move() would place the frame).
    setGeometry(QRect(ClientPosition, ClientSize));
    show();
}

void ProgressWindow::closeEvent(QCloseEvent *event)
{
    if (m_running)
        event->ignore();
    else
        event->accept();
}

} // namespace norvane
