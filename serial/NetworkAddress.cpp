#include "NetworkAddress.h"

#include <charconv>

namespace quorvane {

namespace {

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr std::string_view kSocketScheme = "socket://";

std::optional<std::uint16_t> PortNumber(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string NetworkAddress::hostAndPort() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string NetworkAddress::kindText() const
{
    return kind == Kind::Rfc2217 ? "RFC 2217" : "TCP";
}

bool IsNetworkPath(std::string_view path)
{
    return path.starts_with(kRfc2217Scheme) || path.starts_with(kSocketScheme);
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path)
{
    NetworkAddress address;
    if (path.starts_with(kRfc2217Scheme)) {
        path.remove_prefix(kRfc2217Scheme.size());
    } else if (path.starts_with(kSocketScheme)) {
        address.kind = NetworkAddress::Kind::Socket;
        path.remove_prefix(kSocketScheme.size());
    } else {
        return std::nullopt;
    }
    std::string_view host;
    std::string_view rest;
    if (path.starts_with('[')) {
        const auto close = path.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = path.substr(1, close - 1);
        rest = path.substr(close + 1);
    } else {
        const auto colon = path.rfind(':');
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        host = path.substr(0, colon);
        rest = path.substr(colon);
        if (host.find(':') != std::string_view::npos) {
            return std::nullopt; // an IPv6 host needs its brackets
        }
    }
    if (host.empty() || !rest.starts_with(':')) {
        return std::nullopt;
    }
    const auto port = PortNumber(rest.substr(1));
    if (!port) {
        return std::nullopt;
    }
    address.host = std::string(host);
    address.port = *port;
    return address;
}

} // namespace quorvane
