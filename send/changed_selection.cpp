// SPDX-License-Identifier: MIT
#include "changed_selection.h"

#include "message_file.h"
#include "message_selection.h"
#include "print_line.h"
#include "run_report.h"
#include "send_command.h"

namespace norvane {

std::optional<int> selectChangedMessages(const SendOptions &options, DownloadRequest &request)
{
    if (options.changedFrom.isEmpty())
        return std::nullopt;
    MessageTable sent;
    if (!readMessageFile(options.changedFrom, sent)) {
        printLine(stderr,
                  QStringLiteral("Error while reading data from file: ") + options.changedFrom);
        return ExitFileError;
    }
    const MessageSelection changed = changedMessages(sent, request.messages);
    request.selection = changed & request.selection.value_or(MessageSelection().set());
    if (!options.quiet) {
        QString told =
            QStringLiteral("%1 %2 from %3")
                .arg(messagesText(qint64(changed.count())),
                     changed.count() == 1 ? QStringLiteral("differs") : QStringLiteral("differ"),
                     options.changedFrom);
        if (options.selection)
            told += QStringLiteral(", %1 of them selected").arg(request.selection->count());
        printLine(stderr, told);
        // A dry run names them: exactly these go out.
        if (options.dryRun && request.selection->any())
            printLine(stderr, QStringLiteral("to send: ") + selectionText(*request.selection));
    }
    if (request.selection->none())
        return ExitSent;
    return std::nullopt;
}

} // namespace norvane
