#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));

    // The window builds its real components: the serial port on the devices named in
    // setup.ini, a steady pause that keeps answering the window system during a download, and
    // the Qt file dialog and message box.
    norvane::Form1 window;
    window.show();
    return app.exec();
}
