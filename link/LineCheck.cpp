#include "link/LineCheck.h"

#include "base/Cp1250.h"
#include "link/ComTrans.h"
#include "link/Commands.h"
#include "link/FrameCodec.h"
#include "link/PortAccess.h"
#include "link/SerCom.h"
#include "status/DevStatus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The longest single wait between two looks at the cancel.
constexpr uint32_t kSliceMs = 100;

bool IsGoneErrno(int err) {
    return err == ENOENT || err == ENXIO || err == ENODEV;
}

bool IsPermissionErrno(int err) {
    return err == EACCES || err == EPERM;
}

// The verdict on a port that could not be opened, from what the open found. LINE_OTHER for a
// file that is no terminal (ENOTTY) and for the rest.
void FillFromFailure(LineCheckResult& r, const PortOpenFailure& failure) {
    const int err = failure.err;
    if (IsNetworkPort(failure.device)) {
        // A refused or failed connection is no missing device and no group to join: the open
        // error (in the detail) says what happened.
        r.m_verdict = LINE_OTHER;
    } else if (IsGoneErrno(err)) {
        r.m_verdict = LINE_GONE;
    } else if (IsPermissionErrno(err)) {
        r.m_verdict = LINE_NO_PERMISSION;
        r.m_strGroup = failure.groupHelps ? failure.group.group : std::string();
        r.m_strUser = failure.groupHelps ? failure.group.user : CurrentUserName();
    } else if (err == EBUSY || err == EWOULDBLOCK) {
        r.m_verdict = LINE_BUSY;
        r.m_strHolder = PortHolderList(failure.holders);
    } else {
        r.m_verdict = LINE_OTHER;
    }
}

} // namespace

LineVerdict FailedOpenVerdict(const PortOpenFailure& failure) {
    LineCheckResult r;
    FillFromFailure(r, failure);
    return r.m_verdict;
}

namespace {

// Czech plural of "bajt".
std::string Bytes(int n) {
    const char* word = n == 1 ? "bajt" : (n >= 2 && n <= 4) ? "bajty" : "bajtů";
    return std::to_string(n) + " " + word;
}

LineVerdict Finish(LineCheckResult* out, LineCheckResult& r) {
    if (out)
        *out = r;
    return r.m_verdict;
}

bool Cancelled(const CancelCheck& cancel) {
    return cancel && cancel();
}

// Reads the reply to the identification request until a sound frame, the deadline or the
// cancel. The payload goes into `reply`.
LineVerdict AwaitReply(CSerCom& port, const CancelCheck& cancel, int64_t waitMs, uint8_t* reply,
                       uint32_t replySize, uint32_t* decoded, LineCheckResult& r) {
    CFrameDecoder decoder(reply, replySize);
    // A device that keeps talking (a console, a GPS) would never let the wait end by itself.
    const uint32_t cap = CComTrans::ReceiveCap(replySize);
    const int64_t deadline = MonotonicMs() + waitMs;
    for (;;) {
        if (Cancelled(cancel)) {
            r.m_strDetail = "zrušeno";
            return LINE_OTHER;
        }
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0)
            break;
        uint8_t byte = 0;
        const LinkResult got =
            port.Read(&byte, 1, static_cast<uint32_t>(std::min<int64_t>(left, kSliceMs)));
        if (got == LE_TIMEOUT || got == LE_CANCELLED)
            continue;
        if (got != LE_OK) {
            r.m_strDetail = port.LastIoError();
            return LINE_OTHER;
        }
        ++r.m_nBytes;
        if (decoder.Feed(byte) == CFrameDecoder::Status::Complete &&
            decoder.Decoded() >= HEADER_SIZE) {
            *decoded = decoder.Decoded();
            return LINE_OK;
        }
        if (static_cast<uint32_t>(r.m_nBytes) >= cap && !decoder.InFrame())
            break;
        if (static_cast<uint32_t>(r.m_nBytes) >= 4 * cap)
            break; // frames that never end
    }
    return r.m_nBytes > 0 ? LINE_GARBLED : LINE_SILENT;
}

void TakeIdentification(uint8_t* reply, uint32_t decoded, LineCheckResult& r) {
    if (reply[1] != CMD_GET_IDENT || reply[3] != 0 || decoded < IDENT_REPLY_SIZE) {
        // A sound frame: the line works, though the unit did not give its identification.
        r.m_strDetail =
            "odpověď " + std::to_string(reply[1]) + ", potvrzení " + std::to_string(reply[3]);
        return;
    }
    IdentReplyToHost(reply);
    CDevStatus status;
    uint8_t type[TYPE_REPLY_SIZE] = {};
    status.UpdateIdentification(type, reply);
    r.m_strUnitName = tk::Cp1250ToUtf8(status.m_DevId.m_szName);
    r.m_strSerial = FormatSerial(status.m_DevId.m_nSerNum);
}

// Opens the port. Connecting to a network port may take seconds: meanwhile a watcher turns
// the caller's cancel into the port's own, which ends the wait at once.
LinkResult OpenWatched(CSerCom& com, const std::string& port, const CommDcb& dcb,
                       const CancelCheck& cancel) {
    if (!cancel || !IsNetworkPort(port))
        return com.Open(port, dcb);
    std::mutex mutex;
    std::condition_variable done;
    bool opened = false;
    std::thread watcher([&] {
        std::unique_lock lock(mutex);
        while (!done.wait_for(lock, std::chrono::milliseconds(kSliceMs / 4),
                              [&opened] { return opened; })) {
            if (cancel()) {
                com.Cancel();
                return;
            }
        }
    });
    const LinkResult r = com.Open(port, dcb);
    {
        std::lock_guard lock(mutex);
        opened = true;
    }
    done.notify_one();
    watcher.join();
    return r;
}

} // namespace

LineVerdict CheckLine(const std::string& port, LineCheckResult* result, const CancelCheck& cancel,
                      const LineCheckWaits& waits) {
    LineCheckResult r;
    r.m_strDevice = SerialDevicePath(port);

    struct stat lst {};
    struct stat st {};
    if (!IsNetworkPort(port) && ::lstat(r.m_strDevice.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) &&
        ::stat(r.m_strDevice.c_str(), &st) != 0 && IsGoneErrno(errno)) {
        r.m_verdict = LINE_GONE; // a /dev/serial/by-id link of an adapter that was pulled
        return Finish(result, r);
    }

    CSerCom com;
    com.Init();
    CommDcb dcb = kDefaultDcb;
    dcb.BaudRate = 9600;
    const LinkResult opened = OpenWatched(com, port, dcb, cancel);
    if (opened != LE_OK) {
        r.m_strDetail = opened == LE_CANCELLED ? "zrušeno" : com.LastOpenError();
        FillFromFailure(r, com.LastOpenFailure());
        return Finish(result, r);
    }

    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, CMD_GET_IDENT);
    const std::vector<uint8_t> frame = EncodeFrame(std::vector<uint8_t>(request, request + 4));
    const int64_t sendDeadline = MonotonicMs() + waits.nSendMs;
    for (;;) {
        if (Cancelled(cancel)) {
            r.m_verdict = LINE_OTHER;
            r.m_strDetail = "zrušeno";
            return Finish(result, r);
        }
        const LinkResult sent =
            com.Write(frame.data(), static_cast<uint32_t>(frame.size()), 2 * kSliceMs);
        if (sent == LE_OK)
            break;
        if (sent != LE_TIMEOUT && sent != LE_CANCELLED) {
            r.m_verdict = LINE_OTHER;
            r.m_strDetail = com.LastIoError();
            return Finish(result, r);
        }
        if (MonotonicMs() >= sendDeadline) {
            // Nothing could leave: nobody on the other end raises CTS.
            r.m_verdict = LINE_SILENT;
            r.m_strDetail = "požadavek nebylo možné odeslat (chybí signál CTS)";
            return Finish(result, r);
        }
    }

    uint8_t reply[IDENT_REPLY_SIZE] = {};
    PrepareReplyHeader(reply);
    uint32_t decoded = 0;
    r.m_verdict = AwaitReply(com, cancel, waits.nReplyMs, reply, sizeof reply, &decoded, r);
    if (r.m_verdict == LINE_OK)
        TakeIdentification(reply, decoded, r);
    return Finish(result, r);
}

namespace {

std::string PermissionText(const LineCheckResult& r, bool oneLine) {
    std::string text = "Uživatel " + r.m_strUser + " nemá právo otevřít " + r.m_strDevice;
    if (r.m_strGroup.empty())
        return text + (oneLine ? ": požádejte správce počítače o přístup k zařízení."
                               : ".\nPožádejte správce počítače o přístup k zařízení.");
    text += " (skupina " + r.m_strGroup + ")";
    const std::string fix = "sudo usermod -aG " + r.m_strGroup + " " + r.m_strUser;
    if (oneLine)
        return text + ": " + fix + " a přihlaste se znovu.";
    return text + ".\nPřidejte ho do skupiny: " + fix + " a přihlaste se znovu.";
}

std::string BusyText(const LineCheckResult& r, bool oneLine) {
    if (r.m_strHolder.empty()) // the lock refused us, and no other process holds the device
        return "Port " + r.m_strDevice +
               " je obsazen (jiným programem, nebo spojením tohoto programu)" +
               (oneLine ? "; ukončete ho nebo se odpojte a zkuste to znovu."
                        : ".\nUkončete ten program nebo se odpojte a zkuste to znovu.");
    return "Port " + r.m_strDevice + " používá jiný program: " + r.m_strHolder +
           (oneLine ? "; ukončete ho a zkuste to znovu."
                    : ".\nUkončete ho (nebo v něm port zavřete) a zkuste to znovu.");
}

std::string GoneText(const LineCheckResult& r) {
    return "Zařízení " + r.m_strDevice +
           " neexistuje: zkontrolujte, že je kabel připojen, a vyberte port znovu.";
}

} // namespace

std::string LineDiagnosisText(const LineCheckResult& r) {
    switch (r.m_verdict) {
    case LINE_OK: {
        std::string text = "Jednotka";
        if (!r.m_strUnitName.empty())
            text += " " + r.m_strUnitName;
        if (!r.m_strSerial.empty())
            text += " (výrobní číslo " + r.m_strSerial + ")";
        return text + " odpovídá na portu " + r.m_strDevice + ".";
    }
    case LINE_NO_PERMISSION:
        return PermissionText(r, false);
    case LINE_BUSY:
        return BusyText(r, false);
    case LINE_GONE:
        return GoneText(r);
    case LINE_SILENT: {
        std::string text = "Port " + r.m_strDevice + " je otevřen, ale jednotka neodpověděla";
        if (!r.m_strDetail.empty())
            text += " (" + r.m_strDetail + ")";
        return text + ".\nZkontrolujte kabel, napájení jednotky a zda je vybrán správný port.";
    }
    case LINE_GARBLED:
        return "Z portu " + r.m_strDevice + " přišlo " + Bytes(r.m_nBytes) +
               ", ale žádná platná odpověď jednotky.\nMožné příčiny: jiná rychlost linky než "
               "9600 Bd, rušení na kabelu, nebo je na tomto portu jiné zařízení.";
    case LINE_OTHER:
    default:
        if (r.m_strDetail == "zrušeno")
            return "Zkouška spojení byla zrušena.";
        return "Port " + r.m_strDevice + " nelze použít" +
               (r.m_strDetail.empty() ? std::string(".") : ": " + r.m_strDetail + ".") +
               "\nVyberte jiný port nebo zkontrolujte převodník.";
    }
}

std::string DiagnoseConnectFailure(const std::string& port, int linkError,
                                   const PortOpenFailure& failure) {
    LineCheckResult r;
    r.m_strDevice = SerialDevicePath(port);
    const bool network = IsNetworkPort(port);
    if (linkError == LE_TIMEOUT)
        return "Jednotka na portu " + r.m_strDevice +
               (network ? " neodpověděla: zkontrolujte převodník (server sériového portu), "
                          "jeho kabel k jednotce a napájení jednotky."
                        : " neodpověděla: zkontrolujte kabel, napájení jednotky a zda je "
                          "vybrán správný port.");
    // A network port has no device node: the open failure says why already.
    if (linkError != LE_PORT_OPEN || network || failure.device.empty())
        return {};
    r.m_strDevice = failure.device;
    if (failure.err == ENOTTY)
        return r.m_strDevice + " není sériový port: vyberte jiný port.";
    FillFromFailure(r, failure);
    switch (r.m_verdict) {
    case LINE_GONE:
        return GoneText(r);
    case LINE_NO_PERMISSION:
        return PermissionText(r, true);
    case LINE_BUSY:
        // The lock refused us and nobody else holds the device: the error says enough.
        return r.m_strHolder.empty() ? std::string() : BusyText(r, true);
    default:
        return {};
    }
}
