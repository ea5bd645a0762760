// SPDX-License-Identifier: MIT
#include "pair_decoder.h"

#include "message_table.h"

#include <utility>

namespace norvane {

namespace {

constexpr int MaxDigits = 3;
constexpr char Cr = '\r';
constexpr char Lf = '\n';

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

PairDecoder::PairDecoder(std::chrono::nanoseconds expectedCharGap)
    : m_expectedCharGap(expectedCharGap)
{
}

std::optional<DecodedMessage> PairDecoder::feed(char byte, ArrivalTime at)
{
    ++m_bytes;
    if (m_anyByte) {
        const auto gap = at - m_lastArrival;
        if (!m_minGap || gap < *m_minGap)
            m_minGap = gap;
    }
    m_anyByte = true;
    m_lastArrival = at;
    return step(byte, at);
}

std::optional<DecodedMessage> PairDecoder::step(char byte, ArrivalTime at)
{
    switch (m_state) {
    case State::Idle:
        if (byte != 'N') {
            ++m_skipped;
            return std::nullopt;
        }
        m_pairIndex = 0;
        m_digits = 0;
        m_number = 0;
        m_candidate.clear();
        m_candidateTimes.clear();
        m_candidateGaps.clear();
        take(byte, at);
        m_state = State::Digits;
        return std::nullopt;

    case State::Digits:
        if (isDigit(byte) && m_digits < MaxDigits) {
            take(byte, at);
            m_number = m_number * 10 + (byte - '0');
            ++m_digits;
        } else if (m_digits == 0) { // NOLINT(bugprone-branch-clone): no digit, no number
            giveUp(byte, at);
        } else if (byte == 'M') {
            startText(byte, at);
        } else if (byte == Cr) {
            take(byte, at);
            m_state = State::NumberCr;
        } else if (byte == Lf) {
            take(byte, at);
            m_state = State::NumberEnded;
        } else {
            giveUp(byte, at);
        }
        return std::nullopt;

    case State::NumberCr:
        if (byte == Lf) {
            take(byte, at);
            m_state = State::NumberEnded;
        } else if (byte == 'M') {
            startText(byte, at);
        } else {
            giveUp(byte, at);
        }
        return std::nullopt;

    case State::NumberEnded:
        if (byte == 'M')
            startText(byte, at);
        else
            giveUp(byte, at);
        return std::nullopt;

    case State::Text:
        take(byte, at);
        m_text.append(byte);
        if (m_text.size() < EntryLength)
            return std::nullopt;
        m_state = State::TextEnded;
        ++m_messages;
        return DecodedMessage{m_number, std::exchange(m_text, QByteArray())};

    case State::TextEnded:
        if (byte == Cr) {
            take(byte, at);
            m_state = State::TextCr;
            return std::nullopt;
        }
        if (byte == Lf) {
            take(byte, at);
            m_state = State::Idle;
            return std::nullopt;
        }
        m_state = State::Idle;
        return step(byte, at);

    case State::TextCr:
        if (byte == Lf)
            take(byte, at);
        m_state = State::Idle;
        return byte == Lf ? std::nullopt : step(byte, at);
    }
    return std::nullopt;
}

void PairDecoder::take(char byte, ArrivalTime at)
{
    const bool candidate = m_state == State::Idle || m_state == State::Digits ||
                           m_state == State::NumberCr || m_state == State::NumberEnded;
    if (m_pairIndex > 0) {
        const auto gap = at - m_pairLast;
        if (gap < m_expectedCharGap) {
            ShortGap shortGap{m_number, m_pairIndex, gap};
            if (candidate) {
                m_candidateGaps.push_back(shortGap);
            } else {
                m_shortGaps.push_back(shortGap);
                ++m_shortGapCount;
            }
        }
    }
    if (candidate) {
        m_candidate.append(byte);
        m_candidateTimes.push_back(at);
    }
    m_pairLast = at;
    ++m_pairIndex;
}

// The "M" makes the candidate a pair: from here on nothing can break it off.
void PairDecoder::startText(char byte, ArrivalTime at)
{
    take(byte, at);
    for (ShortGap &gap : m_candidateGaps) {
        gap.number = m_number;
        m_shortGaps.push_back(gap);
        ++m_shortGapCount;
    }
    m_candidateGaps.clear();
    m_candidate.clear();
    m_candidateTimes.clear();
    m_text.clear();
    m_state = State::Text;
}

// The candidate broke off at `byte`: its "N" is skipped and everything after it is looked at
// again from the idle state. A candidate is at most seven bytes long, so this is cheap.
void PairDecoder::giveUp(char byte, ArrivalTime at)
{
    QByteArray bytes = std::exchange(m_candidate, QByteArray());
    std::vector<ArrivalTime> times = std::exchange(m_candidateTimes, {});
    bytes.append(byte);
    times.push_back(at);
    m_candidateGaps.clear();
    m_state = State::Idle;
    ++m_skipped;
    for (qsizetype i = 1; i < bytes.size(); ++i)
        step(bytes[i], times[std::size_t(i)]);
}

void PairDecoder::finish()
{
    m_skipped += pendingBytes();
    m_candidate.clear();
    m_candidateTimes.clear();
    m_candidateGaps.clear();
    m_text.clear();
    m_state = State::Idle;
}

int PairDecoder::pendingBytes() const
{
    switch (m_state) {
    case State::Digits:
    case State::NumberCr:
    case State::NumberEnded:
    case State::Text:
        return m_pairIndex;
    default:
        return 0;
    }
}

std::vector<ShortGap> PairDecoder::takeShortGaps()
{
    return std::exchange(m_shortGaps, {});
}

} // namespace norvane
