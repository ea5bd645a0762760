#include "main_window.h"
#include "qt_serial_port.h"
#include "steady_pause.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));

    norvane::Form1Services services;
    services.makeSerialPort = [](const norvane::PortDevices &devices) {
        return std::make_unique<norvane::QtSerialPort>(devices);
    };
    // During a download the pauses keep answering the window system (paint, expose, liveness
    // pings) without taking user input.
    services.makePause = [] {
        return std::make_unique<norvane::SteadyPause>(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    };

    norvane::Form1 window(std::move(services));
    window.show();
    return app.exec();
}
