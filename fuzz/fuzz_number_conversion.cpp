// Converts arbitrary texts to numbers and checks properties that must hold for every text.

#include "number_conversion.h"

#include <cstdint>
#include <cstdlib>

using namespace norvane;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<qint16> value = convertNumber(text);

    if (value) {
        // The number written back in decimal converts to itself.
        check(convertNumber(QByteArray::number(*value)) == value);
    }
    // Blanks, tabs and line feeds do not count anywhere.
    QByteArray spaced;
    for (char c : text)
        spaced += c + QByteArray(" \t\n");
    check(convertNumber(spaced) == value);
    // An "x" ends every form of number, so nothing after it can matter.
    check(convertNumber(text + "x" + text) == value);
    return 0;
}
