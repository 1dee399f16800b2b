#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// A serial port served over the network, named as a device path is:
// "rfc2217://rig7:2001" (Telnet with the COM port option, which also carries
// the line settings and the control and modem lines) or "socket://rig7:2002"
// (a raw byte pipe). An IPv6 host is written in brackets: "rfc2217://[::1]:2001".
struct NetworkAddress {
    enum class Kind { Rfc2217, Socket };
    Kind kind = Kind::Rfc2217;
    std::string host;
    std::uint16_t port = 0;

    // "rig7:2001" ("[::1]:2001"): how messages name the server.
    std::string hostAndPort() const;
    // "RFC 2217" or "TCP".
    std::string kindText() const;
};

// Whether a device path names a network port at all (by its scheme); such a
// path that does not parse opens nothing and says why.
bool IsNetworkPath(std::string_view path);

// The address in a path, or nothing for a device path or a malformed
// address (no host, no port, a port outside 1..65535, anything after it).
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path);

} // namespace quorvane
