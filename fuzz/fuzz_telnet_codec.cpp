// SPDX-License-Identifier: MIT
// Feeds arbitrary server bytes to the Telnet / COM port control client and checks that it answers
// the same whatever pieces the bytes arrive in, that it only ever answers with well-formed Telnet
// commands, and that a failure lasts and says why.

#include "telnet_codec.h"

#include <cstdint>
#include <cstdlib>

using namespace norvane;

namespace {

constexpr quint8 Iac = 255;
constexpr quint8 Sb = 250;
constexpr quint8 Se = 240;
constexpr quint8 Will = 251;
constexpr quint8 Dont = 254;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Whether `bytes` is nothing but Telnet commands: option verbs with their option, and
// subnegotiations in which every 255 is doubled up to the closing IAC SE.
bool onlyCommands(const QByteArray &bytes)
{
    qsizetype i = 0;
    const auto at = [&bytes](qsizetype k) { return quint8(bytes.at(k)); };
    while (i < bytes.size()) {
        if (at(i) != Iac || i + 1 >= bytes.size())
            return false;
        const quint8 verb = at(i + 1);
        if (verb >= Will && verb <= Dont) {
            if (i + 2 >= bytes.size())
                return false;
            i += 3;
            continue;
        }
        if (verb != Sb)
            return false;
        for (i += 2;; ++i) {
            if (i + 1 >= bytes.size())
                return false;
            if (at(i) != Iac)
                continue;
            if (at(i + 1) == Se)
                break;
            if (at(i + 1) != Iac)
                return false;
            ++i;
        }
        i += 2;
    }
    return true;
}

struct Outcome
{
    QByteArray replies;
    TelnetCodec::State state;
    QString error;
};

// Feeds the server's bytes in pieces whose sizes come from `sizes` (cycled; 0 means all at once).
Outcome feed(const QByteArray &server, const QByteArray &sizes)
{
    TelnetCodec codec;
    Outcome outcome{codec.start(), TelnetCodec::State::Negotiating, {}};
    bool failed = false;
    qsizetype next = 0;
    for (qsizetype i = 0; i < server.size();) {
        qsizetype size = server.size() - i;
        if (!sizes.isEmpty())
            size = std::min<qsizetype>(size, 1 + quint8(sizes.at(next++ % sizes.size())) % 7);
        outcome.replies += codec.receive(server.mid(i, size));
        i += size;
        // A failure lasts, and always says why.
        check(!failed || codec.state() == TelnetCodec::State::Failed);
        failed = codec.state() == TelnetCodec::State::Failed;
        check(failed == !codec.errorString().isEmpty());
    }
    outcome.state = codec.state();
    outcome.error = codec.errorString();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte says how many of the next bytes choose the piece sizes.
    const qsizetype sizeBytes = qsizetype(data[0] % 8);
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray sizes = rest.left(sizeBytes);
    const QByteArray server = rest.mid(sizeBytes);

    const Outcome whole = feed(server, {});
    const Outcome pieces = feed(server, sizes.isEmpty() ? QByteArray(1, '\0') : sizes);
    check(whole.replies == pieces.replies);
    check(whole.state == pieces.state);
    check(whole.error == pieces.error);
    check(onlyCommands(whole.replies));
    // Each command of the server is answered at most once, and the settings go out once.
    check(whole.replies.size() <= 3 * server.size() + 128);

    for (int c = 0; c < 256; ++c)
        check(TelnetCodec::escape(char(c)).size() == (c == Iac ? 2 : 1));
    return 0;
}
