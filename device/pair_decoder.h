// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <chrono>
#include <optional>
#include <vector>

namespace norvane {

// When a byte arrived, counted from any fixed starting point (the device uses the steady clock).
using ArrivalTime = std::chrono::nanoseconds;

struct DecodedMessage
{
    int number = 0;
    QByteArray text; // the 32 characters of the text record
};

// Two bytes of one message pair that arrived closer together than the expected character pause.
struct ShortGap
{
    int number = 0;    // the message the pair belongs to
    int byteIndex = 0; // position in the pair of the later byte ("N" is 0)
    std::chrono::nanoseconds gap{0};
};

// Decodes the byte stream of a download: for each message a number record ("N", one to three
// digits) and a text record ("M", 32 characters), each record ended by CR, LF, CR LF or nothing.
//
// Bytes that do not fit are skipped until the next "N" that starts a pair; a candidate pair that
// breaks off before its "M" is given up from its "N" and the bytes after that "N" are looked at
// again, so a real pair hidden behind a stray "N" is still found. Once the "M" is taken, the next
// 32 bytes are text whatever they hold (an "N" among them is just a letter).
class PairDecoder
{
public:
    // Gaps inside a pair shorter than `expectedCharGap` are reported as short gaps.
    explicit PairDecoder(std::chrono::nanoseconds expectedCharGap = {});

    // Takes the next byte of the stream. Returns the message whose 32nd text character it was.
    std::optional<DecodedMessage> feed(char byte, ArrivalTime at);

    // The stream has ended: the bytes of a pair still incomplete count as skipped.
    void finish();

    // Short gaps found since the last call.
    std::vector<ShortGap> takeShortGaps();

    qint64 bytes() const { return m_bytes; }
    qint64 skippedBytes() const { return m_skipped; }
    int messages() const { return m_messages; }
    int shortGapCount() const { return m_shortGapCount; }
    // Shortest time between two consecutive bytes of the stream, once two bytes have arrived.
    std::optional<std::chrono::nanoseconds> minGap() const { return m_minGap; }
    // Bytes of an incomplete pair held back (neither decoded nor skipped yet).
    int pendingBytes() const;

private:
    enum class State {
        Idle,        // between pairs
        Digits,      // after "N" and m_digits digits
        NumberCr,    // after the CR ending the number record
        NumberEnded, // after LF or CR LF ending the number record
        Text,        // inside the 32 characters
        TextEnded,   // after the 32nd character
        TextCr       // after the CR following the 32nd character
    };

    std::optional<DecodedMessage> step(char byte, ArrivalTime at);
    void take(char byte, ArrivalTime at);
    void startText(char byte, ArrivalTime at);
    void giveUp(char byte, ArrivalTime at);

    std::chrono::nanoseconds m_expectedCharGap;
    State m_state = State::Idle;
    int m_digits = 0;
    int m_number = 0;
    int m_pairIndex = 0;       // bytes of the current pair taken so far
    ArrivalTime m_pairLast{0}; // arrival of the pair's latest byte
    // Until its "M" a pair is only a candidate: its bytes are kept so that they can be looked at
    // again if it breaks off, and its short gaps are reported only once it holds.
    QByteArray m_candidate;
    std::vector<ArrivalTime> m_candidateTimes;
    std::vector<ShortGap> m_candidateGaps;
    std::vector<ShortGap> m_shortGaps;
    QByteArray m_text;

    ArrivalTime m_lastArrival{0};
    bool m_anyByte = false;
    std::optional<std::chrono::nanoseconds> m_minGap;
    qint64 m_bytes = 0;
    qint64 m_skipped = 0;
    int m_messages = 0;
    int m_shortGapCount = 0;
};

} // namespace norvane
