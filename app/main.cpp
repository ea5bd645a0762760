// SPDX-License-Identifier: MIT
#include "application_start.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Opens the display; without one the program ends there with a line saying so.
    const std::unique_ptr<QApplication> app = norvane::startApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    // Ties the windows to the menu entry, for the desktop's task switcher and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(NORVANE_APP_ID));

    // The window builds its real components: the serial port on the devices named in
    // setup.ini, a steady pause that keeps answering the window system during a download, and
    // the Qt file dialog and message box.
    norvane::MainWindow window;
    window.show();
    return QApplication::exec();
}
