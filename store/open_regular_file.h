// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QFile;

namespace norvane {

// Opens `fileName` for reading, unbuffered, if it is a regular file or a symbolic link to one.
// Anything else (a folder, a FIFO, a device such as /dev/zero, a socket) is refused at once: the
// open never waits for a writer, and a device is never read. Returns false when refused or when
// the file cannot be opened.
bool openRegularFile(QFile &file, const QString &fileName);

} // namespace norvane
