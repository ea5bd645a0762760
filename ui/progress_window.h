// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>
#include <QSize>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace norvane {

// The progress window shown instead of the main window while a download runs: a bar and the
// number of the message being worked on. It has no taskbar entry, stays at one place on the
// screen, takes no input, and cannot be closed while a download runs.
class ProgressWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr QPoint ClientPosition{184, 250};
    static constexpr QSize ClientSize{479, 77};

    ProgressWindow();

    QProgressBar *progressBar() const { return m_bar; }
    QLabel *label() const { return m_label; }

    // While running, closing the window is refused.
    void setRunning(bool running) { m_running = running; }
    bool isRunning() const { return m_running; }

    // Shows the window with its client area at the fixed screen position.
    void showAtFixedPlace();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QProgressBar *m_bar;
    QLabel *m_label;
    bool m_running = false;
};

} // namespace norvane
