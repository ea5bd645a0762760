// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace norvane {

// A pseudo-terminal pair standing in for a serial device. The tool opens the slave side by its
// path as it would open a serial port; we read what it writes from the master side.
//
// The slave is put in raw mode (no translation of CR or LF, no echo) and one slave descriptor is
// held open for the whole life of the pair: a Linux pty master reads EIO (hang-up) whenever no
// slave descriptor is open, which would happen between two downloads when the tool closes the
// port.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Creates the pair. Returns false, with errorString() set, on failure.
    bool open();
    // Closes both sides, as pulling out a USB adapter would: whoever still has the slave open
    // gets a hang-up on the next write. open() makes a new pair.
    void close() { closeAll(); }

    // The master descriptor, non-blocking and closed on exec; -1 before open().
    int masterFd() const { return m_master; }
    // The device path of the slave side, e.g. /dev/pts/7.
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

private:
    bool fail(const char *what);
    void closeAll();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
};

} // namespace norvane
