#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvane::device {

// The line settings a client gave the port, as the pseudo-terminal keeps
// them. A pty keeps no data bits or parity of its own: it reads as 8N.
struct ClientLineSettings {
    std::uint32_t rate = 0;
    int dataBits = 8;
    char parity = 'N'; // N, O, E, M or S
    int stopBits = 1;
    bool rtscts = false;
    bool xonxoff = false;

    bool operator==(const ClientLineSettings&) const = default;
};

// The settings of the terminal behind `fd`; through a pty master, those of
// the port end. None when they cannot be read.
std::optional<ClientLineSettings> ReadClientLineSettings(int fd);

// "115200 8N1", then " rtscts" and " xonxoff" when on.
std::string ClientLineSettingsText(const ClientLineSettings& settings);

} // namespace quorvane::device
