#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvane::device {

// An electricity meter on a DL/T 645-2007 line. A frame is: 68, the meter's
// address (6 BCD bytes, low byte first), 68, control, data length L, L data
// bytes each sent plus 33H, the sum of everything from the first 68 on, 16;
// any FE bytes or junk before it are skipped. The meter answers a read of a
// value it knows (11 → 91), a read of its address sent to AA AA AA AA AA AA
// (13 → 93), and anything else with an abnormal answer (control | C0H and
// one error byte); answers start with FE FE FE FE. A frame with a wrong sum,
// for another address, or sent by a meter (control 80H set) gets none.
class Dlt645Meter
{
public:
    using Address = std::array<std::uint8_t, 6>; // as on the wire, low byte first

    explicit Dlt645Meter(const Address& address) : address_(address) {}

    // Bytes just read from the port, a request in as many pieces as it came:
    // the answers to every frame they complete, in order. Frames are cut by
    // their length byte, so a pause inside one does not matter, and junk
    // between frames is passed over.
    std::vector<std::vector<std::uint8_t>> Received(std::span<const std::uint8_t> chunk);
    // The answer to one whole frame, from its first 68 to its 16.
    std::optional<std::vector<std::uint8_t>> Answer(std::span<const std::uint8_t> frame) const;
    // Forgets a frame in progress.
    void Reset() { pending_.clear(); }

private:
    struct Span {
        std::size_t at;
        std::size_t length;
    };

    std::optional<Span> NextFrame();
    std::vector<std::uint8_t> Read(std::span<const std::uint8_t> data) const;
    std::vector<std::uint8_t> Frame(std::uint8_t control, std::vector<std::uint8_t> data) const;
    std::vector<std::uint8_t> Abnormal(std::uint8_t control, std::uint8_t error) const;

    Address address_;
    std::vector<std::uint8_t> pending_; // bytes of a frame not yet complete
};

} // namespace quorvane::device
