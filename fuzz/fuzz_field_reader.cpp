// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the field reader as a message file, and checks that any table of
// entries survives a save and a load unchanged.

#include "field_reader.h"
#include "message_file.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

using namespace norvane;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArrayList readFields(const QByteArray &bytes, int limit)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    FieldReader reader(buffer);
    QByteArrayList fields;
    QByteArray field;
    while (fields.size() < limit && reader.readField(field))
        fields.append(field);
    if (fields.size() < limit)
        check(field.isEmpty() && !reader.readField(field));
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    // Reading never consumes more fields than the input could hold.
    const QByteArrayList fields = readFields(input, 2 * MessageCount);
    check(fields.size() <= input.size());

    // The input split at 0xFE bytes gives entries (cut to 32 bytes); written as message file
    // lines they must read back as exactly those entries.
    QByteArrayList entries;
    QByteArray file;
    for (const QByteArray &part : input.split('\xfe')) {
        if (entries.size() == MessageCount)
            break;
        entries.append(part.left(EntryLength));
        file += messageFileLine(entries.last()) + "\r\n";
    }
    check(readFields(file, MessageCount + 1) == entries);
    return 0;
}
