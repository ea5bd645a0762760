// SPDX-License-Identifier: MIT
#include "port_listing_text.h"

#include <QTest>

namespace norvane::test {

// What --list-ports prints for the ports a machine might have.
class PortListingTest : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
};

using Ports = std::vector<DiscoveredPort>;

void PortListingTest::listing_data()
{
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << Ports{} << "No serial ports found.\n";

    const DiscoveredPort builtIn{"/dev/ttyS0", "", "", "", ""};
    const DiscoveredPort adapter{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI",
                                 "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
    QTest::newRow("adapter first, by its stable name")
        << Ports{builtIn, adapter}
        << "/dev/ttyS0\n"
           "/dev/ttyUSB0\n"
           "    description:   FT232R USB UART\n"
           "    manufacturer:  FTDI\n"
           "    serial number: A50285BI\n"
           "    stable name:   /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
           "\n"
           "For setup.ini, Com1 to Com4 in this order:\n"
           "[Ports],/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0,/dev/ttyS0\n";

    // A comma would split the field, so such a name is quoted; a quote cannot be held at all.
    Ports six;
    for (const char *device : {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/tty,3"})
        six.push_back({device, "", "", "", ""});
    six.push_back({"/dev/ttyACM0", "", "", "", "/dev/serial/by-id/usb-\"odd\""});
    six.push_back({"/dev/ttyUSB0", "", "", "", "/dev/serial/by-id/usb-plain"});
    QString text;
    for (const DiscoveredPort &port : six)
        text += port.device + '\n' +
                (port.stableName.isEmpty() ? QString()
                                           : "    stable name:   " + port.stableName + '\n');
    QTest::newRow("six ports, four fit")
        << six
        << text + "\nFor setup.ini, Com1 to Com4 in this order:\n"
                  "[Ports],/dev/ttyACM0,/dev/serial/by-id/usb-plain,/dev/ttyS0,/dev/ttyS1\n"
                  "(2 more port(s) left out: only four fit; edit the line to choose.)\n";
}

void PortListingTest::listing()
{
    QFETCH(Ports, ports);
    QFETCH(QString, text);
    QCOMPARE(portListingText(ports), text);
}

} // namespace norvane::test

QTEST_GUILESS_MAIN(norvane::test::PortListingTest)
#include "port_listing_test.moc"
