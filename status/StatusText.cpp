#include "status/StatusText.h"

#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

bool SignalKnown(uint32_t signal) {
    return signal <= 31;
}

int SignalDbm(uint32_t signal) {
    return -113 + 2 * static_cast<int>(signal);
}

std::string SignalDbmText(uint32_t signal) {
    if (!SignalKnown(signal))
        return "neznámý";
    return std::to_string(SignalDbm(signal)) + " dBm";
}

std::string CreditText(float credit) {
    return std::isfinite(credit) ? FormatCredit(credit) : std::string();
}

bool CSignalHistory::Push(const SignalSample& s) {
    // Polls come in time order; a sample from before the last one (the PC's clock was set
    // back) would fold the chart, so it starts after the last one instead.
    SignalSample add = s;
    if (!m_samples.empty() && add.timeMs < m_samples.back().timeMs)
        add.timeMs = m_samples.back().timeMs;
    m_samples.push_back(add);
    while (m_samples.size() > m_nCapacity)
        m_samples.pop_front();
    return true;
}

bool CSignalHistory::Add(int64_t timeMs, uint32_t signal) {
    if (!SignalKnown(signal))
        return AddGap(timeMs);
    if (!m_samples.empty()) {
        const SignalSample& last = m_samples.back();
        if (last.value == static_cast<int>(signal) && timeMs - last.timeMs < 500 &&
            timeMs >= last.timeMs)
            return false;
    }
    return Push({timeMs, static_cast<int>(signal)});
}

bool CSignalHistory::AddGap(int64_t timeMs) {
    if (m_samples.empty() || m_samples.back().IsGap())
        return false; // nothing to separate
    return Push({timeMs, -1});
}

std::vector<std::vector<SignalSample>> CSignalHistory::Runs(int64_t fromMs) const {
    std::vector<std::vector<SignalSample>> runs;
    bool open = false;
    for (const SignalSample& s : m_samples) {
        if (s.timeMs < fromMs)
            continue;
        if (s.IsGap()) {
            open = false;
            continue;
        }
        if (!open) {
            runs.emplace_back();
            open = true;
        }
        runs.back().push_back(s);
    }
    return runs;
}

std::string CSignalHistory::Csv() const {
    std::string out = "čas;signál;dBm\n";
    for (const SignalSample& s : m_samples) {
        const time_t t = static_cast<time_t>(s.timeMs / 1000);
        tm local{};
        localtime_r(&t, &local);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
        out += when;
        if (s.IsGap()) {
            out += ";;\n";
            continue;
        }
        const auto v = static_cast<uint32_t>(s.value);
        out += ";" + std::to_string(v) + ";" + std::to_string(SignalDbm(v)) + "\n";
    }
    return out;
}

int64_t ClockDiffSeconds(const SysTime& a, const SysTime& b) {
    return SysTimeSeconds(a) - SysTimeSeconds(b);
}

std::string DriftText(int64_t unitMinusPcSeconds) {
    const char sign = unitMinusPcSeconds < 0 ? '-' : '+';
    const uint64_t s = unitMinusPcSeconds < 0 ? 0 - static_cast<uint64_t>(unitMinusPcSeconds)
                                              : static_cast<uint64_t>(unitMinusPcSeconds);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%c%02llu:%02llu:%02llu proti PC", sign,
                  static_cast<unsigned long long>(s / 3600),
                  static_cast<unsigned long long>(s / 60 % 60),
                  static_cast<unsigned long long>(s % 60));
    return buf;
}

OutputCommand OutputsFor(const std::vector<int>& selectedRows, bool toOne) {
    OutputCommand cmd;
    for (int row : selectedRows) {
        if (row < 0 || row > 7)
            continue; // no such channel
        cmd.mask = static_cast<uint8_t>(cmd.mask | 1u << row);
    }
    if (toOne)
        cmd.values = cmd.mask;
    return cmd;
}
