// SPDX-License-Identifier: MIT
#include "open_regular_file.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#endif

namespace norvane {

#ifdef Q_OS_UNIX

bool openRegularFile(QFile &file, const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    // A name that is plainly no regular file is not even opened: opening a serial port or a
    // tape device has effects of its own.
    struct stat info;
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return false;
    // Without O_NONBLOCK a FIFO with no writer would hold the open for good. The type is checked
    // again on what was actually opened, so nothing swapped in meanwhile gets through.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                         ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    if (!regular ||
        !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

#else

bool openRegularFile(QFile &file, const QString &fileName)
{
    file.setFileName(fileName);
    return QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

#endif

} // namespace norvane
