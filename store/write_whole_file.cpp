// SPDX-License-Identifier: MIT
#include "write_whole_file.h"

#ifdef Q_OS_UNIX

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {

namespace {

// Writes every byte, going on after partial writes and interruptions.
bool writeAll(int fd, const QByteArray &content)
{
    const char *p = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        left -= written;
    }
    return true;
}

// Puts the written content on disk and closes the file. A full disk or an I/O error may show
// only here. EINVAL means the file system has nothing to sync.
bool syncAndClose(int fd)
{
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const bool closed = ::close(fd) == 0 || errno == EINTR;
    return synced && closed;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a path and what goes into it
bool writeInPlace(const QByteArray &path, const QByteArray &content)
{
    // O_NONBLOCK: should a FIFO have taken the file's place meanwhile, the open does not wait
    // for a reader; the type check on the opened file then refuses it.
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0 ||
        !writeAll(fd, content)) {
        ::close(fd);
        return false;
    }
    return syncAndClose(fd);
}

enum class Replaced { Yes, Failed, NotHere };

// Creates a new, hidden file beside `path` with a random name. The mode is given to open() so
// that the umask (and a default ACL) applies to a new file as to any other.
int createTemporary(const QByteArray &path, QByteArray &temporary, mode_t mode)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = path.left(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + ".norvane-" +
                    QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes the content to a temporary file and renames it over `path`. `earlier` describes the
// file being replaced (nullptr for a new one); its permissions and group carry over. NotHere:
// the folder takes no new file from this user, or the group cannot be kept, so the caller
// writes in place instead.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a path and what goes into it
Replaced replaceThroughTemporary(const QByteArray &path, const QByteArray &content,
                                 const struct stat *earlier)
{
    QByteArray temporary;
    const int fd = createTemporary(path, temporary, earlier ? S_IRUSR | S_IWUSR : 0666);
    if (fd < 0)
        return earlier && (errno == EACCES || errno == EPERM) ? Replaced::NotHere
                                                              : Replaced::Failed;
    Replaced result = Replaced::Failed;
    struct stat created;
    if (earlier &&
        (::fstat(fd, &created) != 0 ||
         (created.st_gid != earlier->st_gid && ::fchown(fd, uid_t(-1), earlier->st_gid) != 0))) {
        result = Replaced::NotHere;
    } else if ((!earlier || ::fchmod(fd, earlier->st_mode & 07777) == 0) && writeAll(fd, content)) {
        const bool complete = syncAndClose(fd);
        if (complete && ::rename(temporary.constData(), path.constData()) == 0)
            return Replaced::Yes;
        ::unlink(temporary.constData());
        return Replaced::Failed;
    }
    ::close(fd);
    ::unlink(temporary.constData());
    return result;
}

// The file a save writes: the name itself, or for a symbolic link the file the chain of links
// ends at (which need not exist yet).
QString linkTarget(const QString &fileName)
{
    QFileInfo info(fileName);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

} // namespace

bool writeWholeFile(const QString &fileName, const QByteArray &content)
{
    const QByteArray path = QFile::encodeName(linkTarget(fileName));
    struct stat earlier;
    if (::lstat(path.constData(), &earlier) != 0)
        return errno == ENOENT && replaceThroughTemporary(path, content, nullptr) == Replaced::Yes;
    if (!S_ISREG(earlier.st_mode) || ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return false;
    if (earlier.st_nlink == 1 && earlier.st_uid == ::geteuid()) {
        const Replaced replaced = replaceThroughTemporary(path, content, &earlier);
        if (replaced != Replaced::NotHere)
            return replaced == Replaced::Yes;
    }
    return writeInPlace(path, content);
}

} // namespace norvane

#else

#include <QSaveFile>

namespace norvane {

// Elsewhere QSaveFile does the replacing. Its commit() does not report a failure to write out
// its own buffer, so the buffer is flushed, and checked, first.
bool writeWholeFile(const QString &fileName, const QByteArray &content)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace norvane

#endif
