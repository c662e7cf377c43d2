// The byte channel to the unit: a serial device opened by us (local access) or a descriptor
// handed over by the modem dialler (remote access). Every transfer has its own time-out and
// can be cancelled from another thread; the line can be traced into "sercom.log".
#pragma once

#include "link/LinkError.h"
#include "link/NetPort.h"
#include "link/PortAccess.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <termios.h>
#include <vector>

// The port settings of a local serial line: speed, frame, flow control and the modem lines,
// which ConfigureSerialLine turns into terminal settings. Only the values of kDefaultDcb are
// ever used.
struct CommDcb {
    enum : uint8_t { NOPARITY = 0 };
    enum : uint8_t { ONESTOPBIT = 0 };
    enum : uint8_t { DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1 };
    enum : uint8_t { RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2 };

    uint32_t BaudRate = 9600;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = true;
    bool fOutxDsrFlow = false;
    bool fDsrSensitivity = false;
    uint8_t fDtrControl = DTR_CONTROL_DISABLE;
    uint8_t fRtsControl = RTS_CONTROL_HANDSHAKE;
    bool fOutX = false;
    bool fInX = false;
    uint16_t XonLim = 10;
    uint16_t XoffLim = 10;
    char XonChar = 0;
    char XoffChar = 0;
    bool fErrorChar = false;
    bool fNull = false;
    bool fAbortOnError = false;
    bool fTXContinueOnXoff = false;
};

inline constexpr CommDcb kDefaultDcb{};

class CRfc2217;

// Where a port name leads: "COMn" is /dev/ttyS(n-1); a name starting with "/" is a device
// path used as it stands, as is a network port (tcp://, rfc2217://); any other name is
// looked up in /dev.
std::string SerialDevicePath(const std::string& portName);

// Puts an open terminal into the raw 8N1 mode of the line (with or without RTS/CTS), with
// VMIN=1 VTIME=0, HUPCL and the given speed, and reads the settings back. False, with a
// reason, when the settings did not take. The modem dialler uses it for its device too.
// HUPCL stays set so that the kernel drops DTR when the last descriptor closes, also when
// the program is killed: a modem (&D2) then ends the call instead of keeping it up.
// `noFlowControl` (optional) tells that RTS/CTS was asked for and the device did not take it.
bool ConfigureSerialLine(int fd, const CommDcb& dcb, std::string* reason,
                         bool* noFlowControl = nullptr);

// The read-back check of ConfigureSerialLine: speed, CS8, no parity, one stop bit, the
// receiver on, CLOCAL, HUPCL and raw mode must stick. RTS/CTS is best effort: drivers without
// their own line settings put the old bit back although the port works, so a missing CRTSCTS
// only sets *noFlowControl.
bool CheckLineSettings(const struct termios& wanted, const struct termios& back,
                       std::string* reason, bool* noFlowControl);

// The text a port that does not take RTS/CTS adds to the trace and to a failed transfer.
inline constexpr const char kNoFlowControlNote[] =
    "port nezvládá řízení toku RTS/CTS; pokračuje se bez něj";

// Why a transfer failed (LastIoError) when the line itself went: the port reported a hang-up,
// or reading or writing it gave an I/O error.
inline constexpr const char kLineHungUpText[] =
    "linka se přerušila (není odpojen kabel nebo převodník?)";
inline constexpr const char kPortNotOpenText[] = "port není otevřen";

// Why `path` could not be opened as a port (LastOpenError), from the system's error number.
std::string OpenErrorText(int err, const std::string& path);

class CSerCom {
public:
    CSerCom();
    ~CSerCom();
    CSerCom(const CSerCom&) = delete;
    CSerCom& operator=(const CSerCom&) = delete;

    // Creates the cancel event. False on success, true on failure.
    bool Init();

    // Opens a local serial port exclusively and sets it up, or connects to a serial device
    // server (a network port name, see NetPort.h; over RFC 2217 the server's port is set up
    // as a local one would be): 0, 2 (LE_PORT_OPEN) with the reason in LastOpenError(), or
    // 4 when a cancel ended the wait for the server.
    LinkResult Open(const std::string& portName, const CommDcb& dcb);

    // Takes over the data channel of a modem call. The descriptor becomes ours and is closed
    // by Close; its terminal settings are the dialler's and are left alone.
    void Attach(int fd);

    // Closes the port (restoring the settings it had before Open), if open.
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    // True when the line cannot come back by itself: nothing is open, the device hung up
    // (a pseudo-terminal's far end closed, a USB adapter pulled), or the device node of a
    // port we opened is gone or now names another device. A silent unit on a line that is
    // still there is not gone. Asked after a transfer failed with 1.
    bool LineGone() const;

    // Read or write exactly `count` bytes within `timeoutMs`: 0, 1 (I/O error or the line
    // hung up), 3 (time-out) or 4 (cancelled).
    LinkResult Read(uint8_t* buf, uint32_t count, uint32_t timeoutMs);
    LinkResult Write(const uint8_t* buf, uint32_t count, uint32_t timeoutMs);

    // Discards everything received and not yet read.
    void PurgeReceive();
    // Discards everything written and not yet sent: a frame of an earlier attempt must not
    // reach the unit late, after its repetition.
    void PurgeTransmit();

    // How many bytes wait in the output queue of the device (TIOCOUTQ; negative when it
    // cannot tell), and dropping them (tcflush). A write returns once its bytes are queued,
    // not sent; Write waits until the queue is empty. Tests of a line without an output
    // queue (a pseudo-terminal) put their own queue in; empty functions restore the device's.
    struct OutputQueue {
        std::function<int(int fd)> pending;
        std::function<void(int fd)> flush;
    };
    void SetOutputQueue(OutputQueue queue);

    // Set when the port was opened without RTS/CTS because the device did not take it.
    bool HasNoFlowControl() const { return m_bNoFlowControl; }
    // True while a network port is open.
    bool IsNetwork() const { return m_netKind != NetKind::None; }
    // What the server of a network port did not confirm when it was set up (also written
    // into the trace once); empty when everything was confirmed.
    const std::string& NetNotes() const { return m_netNotes; }

    // Thread-safe: ends the pending transfer with 4, or the next one to wait when none is
    // pending. Several cancels before a wait count as one.
    void Cancel();

    // Tests for a pending cancel and consumes it. True if one was pending.
    bool IsCancelled();

    // Starts a new trace file "sercom.log" in the program folder. False on success; true
    // (tracing off) when the file cannot be created or another process is writing it.
    bool OpenLog();
    void CloseLog();
    // Why the last OpenLog refused the trace file (a link or no regular file), in Czech with
    // the file's path; empty when it did not.
    const std::string& LogError() const { return m_logError; }
    bool IsLogging() const { return m_bLog; }

    // Why the last Open failed, in Czech for the user ("/dev/ttyUSB0: přístup odepřen ...").
    const std::string& LastOpenError() const { return m_openError; }
    // What the last Open found about the device when it failed (the device, the system's
    // error number, the holders, the group that would let the user in); empty after a
    // successful one. Whoever explains the failure takes it from here and does not look at
    // the device again.
    const PortOpenFailure& LastOpenFailure() const { return m_openFailure; }
    // Why the last transfer failed with 1 ("the line hung up ...").
    const std::string& LastIoError() const { return m_ioError; }
    // True when the last bytes received since the port was opened (read or discarded) hold
    // this text, such as a modem's "NO CARRIER".
    bool RecentlyReceived(std::string_view text) const;

private:
    LinkResult OpenNetwork(const std::string& portName, const CommDcb& dcb);
    LinkResult Negotiate(const CommDcb& dcb, std::string* reason);
    ssize_t ReadSome(uint8_t* buf, size_t size);
    ssize_t SendRaw(const uint8_t* buf, size_t size);
    LinkResult WaitFor(short events, int64_t deadlineUs);
    LinkResult WriteNetwork(const uint8_t* buf, uint32_t count, int64_t deadlineUs);
    void Trace(bool write, const uint8_t* buf, uint32_t count);
    // Closes `fd` (when open) and keeps the reason and what is known of the device.
    void FailOpen(int fd, const std::string& path, const std::string& reason, int err,
                  std::vector<PortHolder> holders = {});
    void Remember(const uint8_t* bytes, size_t count);
    LinkResult IoError(const std::string& what);
    LinkResult Drain(int64_t deadlineUs);
    int OutputPending() const;

    int m_cancelFd = -1;
    FILE* m_hLog = nullptr;
    bool m_bLog = false;
    bool m_bNewWriteLine = false;
    bool m_bNewReadLine = false;
    int m_fd = -1;
    bool m_bOwned = false; // opened by us: restore settings on close
    bool m_bSaved = false;
    struct termios m_saved {};
    std::string m_devicePath; // what Open opened, and the device it was then
    dev_t m_nDevice = 0;
    std::string m_logError;
    std::string m_openError;
    PortOpenFailure m_openFailure;
    std::string m_ioError;
    OutputQueue m_outQueue;
    bool m_bNoFlowControl = false;
    NetKind m_netKind = NetKind::None;
    std::unique_ptr<CRfc2217> m_telnet; // the telnet stream of an RFC 2217 port
    bool m_bPeerClosed = false;         // the server of a network port closed the connection
    std::string m_netNotes;
    std::vector<uint8_t> m_txEscaped;
    static constexpr size_t RECENT_MAX = 64;
    std::string m_recent; // the last bytes received
    // Bytes read from the device and not yet handed out; one read() serves several Read calls.
    uint8_t m_rx[256];
    uint32_t m_rxPos = 0;
    uint32_t m_rxLen = 0;
};

// Milliseconds and microseconds of a monotonic clock.
int64_t MonotonicMs();
int64_t MonotonicUs();
