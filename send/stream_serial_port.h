// SPDX-License-Identifier: MIT
#pragma once

#include "serial_port.h"

#include <cstdio>

namespace norvane {

// A port that writes the download's bytes to a stream (standard output for a dry run) exactly as
// they would go to the line; it opens without fail, and draining flushes the stream.
class StreamSerialPort : public SerialPort
{
public:
    StreamSerialPort(std::FILE *stream, const QString &name) : m_stream(stream), m_name(name) {}

    void choosePort(qint16) override {}
    QString deviceName() const override { return m_name; }
    bool open() override;
    bool isOpen() const override { return m_open; }
    bool write(char c) override;
    bool drain() override;
    void close() override;
    QString errorString() const override { return m_error; }

private:
    bool fail();

    std::FILE *m_stream;
    QString m_name;
    bool m_open = false;
    QString m_error;
};

} // namespace norvane
