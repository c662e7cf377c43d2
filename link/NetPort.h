// A port on the network: a serial device server reached as "tcp://HOST:PORT" (a raw byte
// stream) or "rfc2217://HOST:PORT" (telnet with serial-port control). HOST is a name, an IPv4
// address or an IPv6 address in brackets ("[::1]"). The program only ever connects out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class NetKind : uint8_t { None, Raw, Rfc2217 };

struct NetPortName {
    NetKind kind = NetKind::None;
    std::string host; // without the brackets of an IPv6 address
    uint16_t port = 0;
};

// How long resolving the name and connecting may take together.
inline constexpr int kNetConnectTimeoutMs = 5000;

// The Czech reasons of a failed connect, as the port-open failure shows them.
inline constexpr const char kNetRefusedText[] = "spojení odmítnuto";
inline constexpr const char kNetNotFoundText[] = "počítač nenalezen";
inline constexpr const char kNetTimeoutText[] = "vypršel čas připojení";
// Why a transfer failed when the server closed the connection.
inline constexpr const char kNetClosedText[] = "server ukončil spojení";

// True when the name has the form of a network port (the scheme, in any case); it may still
// be malformed (ParseNetPort tells).
bool IsNetworkPort(std::string_view name);

// Splits a network port name. False, with the reason in Czech, for a name that is no network
// port or lacks the host or a port number 1-65535.
bool ParseNetPort(const std::string& name, NetPortName* out, std::string* reason);

// Resolves the name (on a thread of its own, so that the wait can end) and connects to each
// address in turn, within `timeoutMs` in all. A readable `cancelFd` ends the wait (the event
// is left for its owner to consume). Returns the connected non-blocking socket, or -1 with
// `*err` set: ECONNREFUSED, EHOSTUNREACH (no such host or no route), ETIMEDOUT, ECANCELED,
// or another system error; `*reason` then holds the Czech reason (without the port name).
int ConnectNetPort(const NetPortName& name, int cancelFd, int timeoutMs, std::string* reason,
                   int* err);
