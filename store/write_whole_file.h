// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace norvane {

// Writes `content` as the whole of the file `fileName` and returns whether every byte reached it.
//
// - A new file, or an ordinary file of the user's own (one link, owned by the user, in a folder
//   the user can write), is replaced: the content goes to a temporary file beside it, which takes
//   the name only once it is complete and on disk. A failure leaves the earlier file byte for
//   byte and no temporary file. The new file keeps the earlier one's permissions and group.
// - A file with more than one hard link, owned by someone else, or in a folder the user cannot
//   write is written in place (emptied, then written), so its links, owner and permissions stay.
//   A failure leaves what was written so far.
// - A symbolic link stays as it is; the file it points to is written, by the rules above.
// - A name that is not a regular file (a folder, a FIFO, a device, a socket) and a file the user
//   may not write are failures; nothing is opened or changed.
bool writeWholeFile(const QString &fileName, const QByteArray &content);

} // namespace norvane
