// SPDX-License-Identifier: MIT
#pragma once

#include "serial_port.h"

#include <QString>

#include <cstdio>
#include <memory>

namespace norvane {

// A pipe standing in for the line. A write to a pseudo-terminal wakes a kernel worker to pass the
// byte on to the far side, and on a virtual machine that worker often preempts the writer before
// its write returns; a write to a pipe whose reader is not waiting hands the byte over and wakes
// nothing, as a serial driver hands it to the adapter or the UART.
class PipeLine
{
public:
    PipeLine() = default;
    ~PipeLine();
    PipeLine(const PipeLine &) = delete;
    PipeLine &operator=(const PipeLine &) = delete;

    bool open();
    QString errorString() const { return m_error; }
    // The far end, to read what was written (non-blocking).
    int readFd() const { return m_read; }
    // A port writing each character alone into the pipe; valid while the line is.
    std::unique_ptr<SerialPort> port() const;

private:
    int m_read = -1;
    std::FILE *m_write = nullptr;
    QString m_error;
};

} // namespace norvane
