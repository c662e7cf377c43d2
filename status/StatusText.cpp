#include "status/StatusText.h"

#include "base/CzechFormat.h"

#include "link/ComNotify.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <algorithm>
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
    return tk::CzechDecimal(static_cast<double>(credit), 2);
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

bool CSignalHistory::Note(const CComEvent& ev, int64_t timeMs) {
    switch (ev.m_nCode) {
    case CE_GSM:
        return Add(timeMs, ev.m_Status.m_GSM.m_nSignal);
    case CE_GSM_POLL:
        return ev.m_nArg ? Add(timeMs, ev.m_Status.m_GSM.m_nSignal) : AddGap(timeMs);
    case CE_OFFLINE:
        return AddGap(timeMs);
    default:
        return false;
    }
}

AxisTicks RoundTicks(int low, int high, int maxTicks) {
    if (high < low || maxTicks < 1)
        return {};
    // Floor and ceiling of a division for negative values too (dBm are negative).
    auto floorDiv = [](int a, int b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); };
    auto ceilDiv = [&](int a, int b) { return -floorDiv(-a, b); };
    for (int power = 1;; power *= 10) {
        for (const int m : {1, 2, 5}) {
            const int step = m * power;
            const int first = ceilDiv(low, step);
            const int last = floorDiv(high, step);
            if (last - first + 1 <= maxTicks)
                return {first * step, step, std::max(last - first + 1, 0)};
        }
        if (power > 100000000)
            return {};
    }
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

namespace {

double Linear(uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFF) / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(uint32_t rgb) {
    return 0.2126 * Linear(rgb >> 16) + 0.7152 * Linear(rgb >> 8) + 0.0722 * Linear(rgb);
}

} // namespace

double ContrastRatio(uint32_t rgbA, uint32_t rgbB) {
    const double a = Luminance(rgbA);
    const double b = Luminance(rgbB);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

uint32_t ReadableTextOn(uint32_t background, uint32_t preferred) {
    constexpr double kEnough = 3.0;
    if (ContrastRatio(background, preferred & 0xFFFFFF) >= kEnough)
        return preferred & 0xFFFFFF;
    return ContrastRatio(background, 0x000000) >= ContrastRatio(background, 0xFFFFFF) ? 0x000000
                                                                                      : 0xFFFFFF;
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
