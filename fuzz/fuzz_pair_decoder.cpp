// SPDX-License-Identifier: MIT
// Feeds the virtual device's stream decoder arbitrary bytes with arbitrary arrival times and checks
// what it reports against the stream itself; then builds a stream of well-formed message pairs
// behind some garbage and checks that exactly those pairs come out.
//
// The input is read with FuzzedDataProvider: the stream bytes come from its front, the chunk
// sizes, arrival times, numbers and terminators from its back.

#include "pair_decoder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace norvane;
using namespace std::chrono_literals;

namespace {

constexpr int TextLength = 32;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decoded message must stand in the stream, ending at `last` with its 32nd text byte: "N", one
// to three digits giving its number, an optional CR, LF or CR LF, "M", its text. Returns where
// its "N" stands.
qsizetype pairStart(const QByteArray &stream, qsizetype last, const DecodedMessage &message)
{
    check(message.text.size() == TextLength && message.number >= 0 && message.number <= 999);
    qsizetype at = last - TextLength;
    check(at >= 0 && stream.mid(at + 1, TextLength) == message.text && stream[at] == 'M');
    --at;
    if (at >= 0 && stream[at] == '\n')
        --at;
    if (at >= 0 && stream[at] == '\r')
        --at;
    int digits = 0;
    while (digits < 3 && at >= 0 && isDigit(stream[at])) {
        --at;
        ++digits;
    }
    check(digits > 0 && at >= 0 && stream[at] == 'N');
    check(stream.mid(at + 1, digits).toInt() == message.number);
    return at;
}

// How many of the bytes after a text at `last` end its record: CR, LF or CR LF.
int textTerminator(const QByteArray &stream, qsizetype last)
{
    const QByteArray next = stream.mid(last + 1, 2);
    if (next.startsWith("\r\n"))
        return 2;
    return next.startsWith('\r') || next.startsWith('\n') ? 1 : 0;
}

// A short gap as reported, with the stream position of the byte whose feeding brought it.
struct ReportedGap
{
    qsizetype at = 0;
    ShortGap gap;
};

void decodeArbitraryStream(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::chrono::nanoseconds expectedGap =
        std::chrono::microseconds(input.ConsumeIntegralInRange<int>(0, 20000));
    PairDecoder decoder(expectedGap);

    QByteArray stream;
    std::vector<ArrivalTime> arrivals;
    std::optional<std::chrono::nanoseconds> minGap;
    // Where each decoded pair's "N" and last text byte stand, and its number.
    std::vector<qsizetype> starts, lasts;
    std::vector<int> numbers;
    std::vector<ReportedGap> reported;
    qint64 used = 0; // bytes neither skipped nor held back
    ArrivalTime at = 1s;

    while (input.remaining_bytes() > 0) {
        // Bytes that arrive together, as one read of the line delivers them.
        const size_t chunk = input.ConsumeIntegralInRange<size_t>(1, 48);
        at += std::chrono::nanoseconds(input.ConsumeIntegralInRange<qint64>(0, 30'000'000));
        for (const char byte : input.ConsumeBytesAsString(chunk)) {
            if (!arrivals.empty() && (!minGap || at - arrivals.back() < *minGap))
                minGap = at - arrivals.back();
            stream.append(byte);
            arrivals.push_back(at);

            const std::optional<DecodedMessage> message = decoder.feed(byte, at);
            check(decoder.bytes() == stream.size());
            if (message) {
                const qsizetype last = stream.size() - 1;
                const qsizetype start = pairStart(stream, last, *message);
                check(lasts.empty() || start > lasts.back()); // pairs never overlap
                starts.push_back(start);
                lasts.push_back(last);
                numbers.push_back(message->number);
            }
            check(decoder.messages() == int(lasts.size()));
            for (const ShortGap &gap : decoder.takeShortGaps())
                reported.push_back({stream.size() - 1, gap});
            check(decoder.shortGapCount() == int(reported.size()));
            // What is held back is at most a pair without its last text byte.
            check(decoder.pendingBytes() >= 0 && decoder.pendingBytes() <= 38);
            // A byte once decoded or skipped stays so: giving up a candidate only moves bytes
            // from held back to skipped or to a new candidate.
            const qint64 nowUsed =
                decoder.bytes() - decoder.skippedBytes() - decoder.pendingBytes();
            check(nowUsed >= used);
            used = nowUsed;
        }
    }
    check(decoder.minGap() == minGap);

    // At the end every byte is either skipped or part of a decoded pair, its text terminator
    // included.
    decoder.finish();
    check(decoder.pendingBytes() == 0 && decoder.messages() == int(lasts.size()));
    qint64 inPairs = 0;
    qsizetype lastEnd = -1;
    std::size_t next = 0;
    for (std::size_t i = 0; i < lasts.size(); ++i) {
        lastEnd = lasts[i] + textTerminator(stream, lasts[i]);
        inPairs += lastEnd - starts[i] + 1;
        // The short gaps are exactly those between two bytes of a decoded pair, in order, each
        // once, with the pair's number and the index of the later byte in the pair.
        for (qsizetype q = starts[i] + 1; q <= lastEnd; ++q) {
            const std::chrono::nanoseconds gap =
                arrivals[std::size_t(q)] - arrivals[std::size_t(q - 1)];
            if (gap >= expectedGap)
                continue;
            check(next < reported.size());
            const ReportedGap &r = reported[next++];
            check(r.at >= q && r.at <= lastEnd && r.gap.number == numbers[i] &&
                  r.gap.byteIndex == q - starts[i] && r.gap.gap == gap);
        }
    }
    check(decoder.bytes() - decoder.skippedBytes() == inPairs);
    // Any other short gap belongs to a pair whose text the stream cut off.
    for (; next < reported.size(); ++next) {
        const ShortGap &gap = reported[next].gap;
        check(reported[next].at > lastEnd && gap.gap >= 0ns && gap.gap < expectedGap &&
              gap.number >= 0 && gap.number <= 999 && gap.byteIndex >= 1 && gap.byteIndex <= 37);
    }
}

// Garbage without an "M" (so it cannot open a text), then well-formed pairs, each record with a
// terminator of its own: every pair comes out as sent and every garbage byte is skipped.
void decodeWellFormedPairs(const uint8_t *data, size_t size)
{
    static const char *const terminators[] = {"", "\r", "\n", "\r\n"};
    FuzzedDataProvider input(data, size);
    QByteArray stream = QByteArray::fromStdString(
        input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, 64)));
    stream.replace('M', 'm');
    const qsizetype garbage = stream.size();

    std::vector<DecodedMessage> sent;
    while (input.remaining_bytes() > 0) {
        const int number = input.ConsumeIntegralInRange<int>(0, 999);
        const uint8_t ends = input.ConsumeIntegral<uint8_t>();
        const QByteArray text = QByteArray::fromStdString(input.ConsumeBytesAsString(TextLength))
                                    .leftJustified(TextLength, ' ');
        stream += 'N' + QByteArray::number(number) + terminators[ends & 3] + 'M' + text +
                  terminators[(ends >> 2) & 3];
        sent.push_back({number, text});
    }

    PairDecoder decoder;
    std::vector<DecodedMessage> received;
    ArrivalTime at = 0ns;
    for (const char byte : stream) {
        if (std::optional<DecodedMessage> message = decoder.feed(byte, at += 1ms))
            received.push_back(std::move(*message));
    }
    check(sent.empty() || decoder.pendingBytes() == 0); // garbage alone may end in a candidate
    decoder.finish();
    check(received.size() == sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
        check(received[i].number == sent[i].number && received[i].text == sent[i].text);
    check(decoder.skippedBytes() == garbage && decoder.bytes() == stream.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    decodeArbitraryStream(data, size);
    decodeWellFormedPairs(data, size);
    return 0;
}
