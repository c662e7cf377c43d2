// What the status panes show beyond the record's own fields, kept free of any widget so it can
// be tested alone: the signal in dBm, the signal's history over the session (with gaps where
// the unit did not answer), the unit's clock against the PC's, and the output command of a
// selection of channels.
#pragma once

#include "status/SysTime.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The signal figure as the unit reports it: 0..31 map to -113..-51 dBm in steps of 2; 99 (and
// anything above 31) means the unit does not know.
inline constexpr uint32_t SIGNAL_UNKNOWN = 99;
bool SignalKnown(uint32_t signal);
// -113 + 2 * signal; only meaningful when SignalKnown.
int SignalDbm(uint32_t signal);
// "-67 dBm", or "neznámý" when the unit does not know (UTF-8).
std::string SignalDbmText(uint32_t signal);

// The SIM credit as shown, with a decimal comma: "12,50", or empty when the unit could not give it
// (NaN, infinite).
std::string CreditText(float credit);

struct CComEvent;

// One poll of the signal: a value, or a gap where no value came (missed poll, link closed).
struct SignalSample {
    int64_t timeMs = 0; // milliseconds since the epoch
    int value = -1;     // 0..31, or -1 for a gap
    bool IsGap() const { return value < 0; }
    bool operator==(const SignalSample&) const = default;
};

// The signal of the session, oldest first. A value the unit does not know is kept as a gap,
// a repeated gap only once, and the same value reported twice within half a second (the
// change event and the poll event of one read) only once. The oldest samples go when more
// than `capacity` are held.
class CSignalHistory {
public:
    explicit CSignalHistory(size_t capacity = 100000) : m_nCapacity(capacity) {}

    // True when a sample was added (the chart has something new to draw).
    bool Add(int64_t timeMs, uint32_t signal);
    bool AddGap(int64_t timeMs);
    // What an event of the link worker adds, whatever pane is shown: a GSM change its value,
    // a finished GSM poll its value or (unanswered) a gap, the end of a session a gap so that
    // no line crosses the time offline. Other events add nothing.
    bool Note(const CComEvent& ev, int64_t timeMs);

    const std::deque<SignalSample>& Samples() const { return m_samples; }
    bool Empty() const { return m_samples.empty(); }
    // The samples from `fromMs` on, split into runs without gaps (each run at least one
    // value); what a line chart draws as separate lines.
    std::vector<std::vector<SignalSample>> Runs(int64_t fromMs) const;
    // "čas;signál;dBm" then one line per sample in local time, "2026-12-08 14:05:09;17;-79";
    // a gap has empty value fields. UTF-8, lines ended by "\n".
    std::string Csv() const;

private:
    bool Push(const SignalSample& s);

    std::deque<SignalSample> m_samples;
    size_t m_nCapacity;
};

// The labelled values of an axis from `low` to `high`: multiples of a round step (1, 2 or 5
// times a power of ten), the smallest step that gives at most `maxTicks` of them; `first` is
// the lowest such multiple not below `low`. No ticks (count 0) for an empty range, nor when
// the step that is few enough has no multiple in a short range.
struct AxisTicks {
    int first = 0;
    int step = 1;
    int count = 0;
    bool operator==(const AxisTicks&) const = default;
};
AxisTicks RoundTicks(int low, int high, int maxTicks);
// The chart's signal axis in dBm: the whole scale the unit reports, -113 to -51.
inline constexpr int SIGNAL_DBM_MIN = -113;
inline constexpr int SIGNAL_DBM_MAX = -51;

// Seconds between two local clock readings, `a` minus `b` (day of week and milliseconds are
// ignored).
int64_t ClockDiffSeconds(const SysTime& a, const SysTime& b);
// "+00:03:12 proti PC" when the unit is 3 min 12 s ahead, "-01:00:00 proti PC" when an hour
// behind; hours grow past 24 when the clock is days away.
std::string DriftText(int64_t unitMinusPcSeconds);

// Colours as 0xRRGGBB. The contrast of two colours as the accessibility guidelines define it:
// 1 (the same luminance) to 21 (black on white).
double ContrastRatio(uint32_t rgbA, uint32_t rgbB);
// The text colour to draw on `background`: `preferred` when it stands out from it (a contrast
// of at least 3, enough for the short figures of a list), else black or white, whichever
// stands out more.
uint32_t ReadableTextOn(uint32_t background, uint32_t preferred);

// The set-outputs command for the selected rows (row i is channel i + 1): mask has the bit of
// every selected row, values the same bits when setting to 1, none when setting to 0.
struct OutputCommand {
    uint8_t mask = 0;
    uint8_t values = 0;
    bool operator==(const OutputCommand&) const = default;
};
OutputCommand OutputsFor(const std::vector<int>& selectedRows, bool toOne);
