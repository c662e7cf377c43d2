#include "link/FindUnit.h"

#include "link/ModemList.h"
#include "link/SerCom.h"
#include "link/SerialPorts.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <set>
#include <thread>

namespace {

constexpr const char* kCancelledDetail = "zrušeno"; // as the line check gives it

// Where a name finally leads, for telling two names of one device apart; the name itself
// when it leads nowhere (a missing device, a network port).
std::string DeviceKey(const std::string& port) {
    const std::string path = SerialDevicePath(port);
    char real[PATH_MAX];
    return ::realpath(path.c_str(), real) ? std::string(real) : port;
}

LineCheckResult CancelledResult(const std::string& port) {
    LineCheckResult r;
    r.m_verdict = LINE_OTHER;
    r.m_strDevice = SerialDevicePath(port);
    r.m_strDetail = kCancelledDetail;
    return r;
}

bool IsById(const SerialPortInfo& info) {
    return info.m_strPath != info.m_strDevice;
}

} // namespace

std::vector<std::string> FindCandidates(const std::vector<SerialPortInfo>& ports,
                                        const CModemMng& modems) {
    std::set<std::string> modemDevices;
    for (size_t i = 0; i < modems.Count(); ++i) {
        const std::string device = modems.Get(i)->m_szDevice;
        modemDevices.insert(device);
        modemDevices.insert(DeviceKey(device));
    }
    std::vector<SerialPortInfo> ordered = ports;
    std::stable_partition(ordered.begin(), ordered.end(), IsById);
    std::vector<std::string> names;
    for (const SerialPortInfo& info : ordered) {
        if (modemDevices.count(info.m_strPath) || modemDevices.count(info.m_strDevice) ||
            modemDevices.count(DeviceKey(info.m_strPath)))
            continue;
        names.push_back(info.m_strPath);
    }
    return DistinctPorts(names);
}

std::vector<std::string> DistinctPorts(const std::vector<std::string>& ports) {
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const std::string& port : ports) {
        if (seen.insert(DeviceKey(port)).second)
            out.push_back(port);
    }
    return out;
}

std::vector<LineCheckResult> FindUnit(const std::vector<std::string>& ports,
                                      const FindOptions& options, const CancelCheck& cancel,
                                      const FindProgress& progress) {
    std::vector<LineCheckResult> results(ports.size());
    LineCheckWaits waits;
    waits.nSendMs = options.nWaitMs;
    waits.nReplyMs = options.nWaitMs;
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < ports.size();) {
            if (cancel && cancel())
                results[i] = CancelledResult(ports[i]);
            else
                CheckLine(ports[i], &results[i], cancel, waits);
            if (progress)
                progress(i, results[i]);
        }
    };
    const size_t threads =
        std::min(std::max<size_t>(options.nMaxParallel, 1), std::max<size_t>(ports.size(), 1));
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    for (size_t t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work(); // this thread checks ports too
    for (std::thread& t : pool)
        t.join();
    return results;
}

bool FindCancelled(const LineCheckResult& result) {
    return result.m_verdict == LINE_OTHER && result.m_strDetail == kCancelledDetail;
}

std::string FindVerdictText(const LineCheckResult& r) {
    switch (r.m_verdict) {
    case LINE_OK: {
        std::string text = "jednotka";
        if (!r.m_strUnitName.empty())
            text += " " + r.m_strUnitName;
        if (!r.m_strSerial.empty())
            text += " (výrobní číslo " + r.m_strSerial + ")";
        return text;
    }
    case LINE_SILENT:
        return "nic neodpovídá";
    case LINE_GARBLED:
        return "odpovídá jiné zařízení";
    case LINE_BUSY:
        return r.m_strHolder.empty() ? std::string("obsazen (jiným programem nebo spojením)")
                                     : "používá jiný program: " + r.m_strHolder;
    case LINE_NO_PERMISSION:
        if (r.m_strGroup.empty())
            return "chybí oprávnění";
        return "chybí oprávnění (skupina " + r.m_strGroup + ": sudo usermod -aG " + r.m_strGroup +
               " " + r.m_strUser + ")";
    case LINE_GONE:
        return "zařízení neexistuje";
    case LINE_OTHER:
    default:
        if (FindCancelled(r))
            return "zrušeno";
        return r.m_strDetail.empty() ? std::string("nelze použít")
                                     : "nelze použít: " + r.m_strDetail;
    }
}

const char* FindVerdictKey(const LineCheckResult& r) {
    switch (r.m_verdict) {
    case LINE_OK:
        return "found";
    case LINE_SILENT:
        return "silent";
    case LINE_GARBLED:
        return "other_device";
    case LINE_BUSY:
        return "busy";
    case LINE_NO_PERMISSION:
        return "no_permission";
    case LINE_GONE:
        return "missing";
    case LINE_OTHER:
    default:
        return FindCancelled(r) ? "cancelled" : "error";
    }
}
