#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quorvane::device {

// A pseudo-terminal pair. The device keeps the master end; clients open the
// slave end (its path) as if it were a serial port. The line is raw: no echo,
// no line editing, no CR/LF translation, no flow-control characters, so every
// byte crosses unchanged. The slave is not held open here, so the master can
// tell when the last client has closed it.
class PseudoTerminal
{
public:
    enum class Status {
        Done,       // bytes moved
        WouldBlock, // nothing to read, or no room to write
        ClientGone, // no client holds the port open
    };
    struct Transfer {
        Status status;
        std::size_t count;
    };

    // Opens a new pair with a non-blocking master; throws std::system_error.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    Transfer Read(std::span<std::uint8_t> buffer);
    Transfer Write(std::span<const std::uint8_t> bytes);

    // True while the port is closed after a client had it open: the master
    // reports a hang-up until someone reopens it.
    bool ClientAway() const;

    // Drops what was sent to the port but not read before the last client
    // closed it, so the next client starts on a clean line as with a real
    // port. Best effort: without the hold, the port is opened for a moment.
    void DiscardUnread() const;

    // Holds the port end open while no client does: the master then reports
    // no hang-up, so it can be waited on and a returning client's first bytes
    // wake the device at once. False when the port cannot be opened (a client
    // that died may have left it exclusive).
    bool HoldSlave();
    // Lets go of the port end once a client is back, so its leaving shows.
    void ReleaseSlave();
    bool HoldsSlave() const { return held_ >= 0; }

private:
    void OpenMaster();
    void UnlockSlave();
    void MakeLineRaw();

    int OpenSlave() const;

    int master_ = -1;
    int held_ = -1; // the port end, while held
    std::string slavePath_;
};

} // namespace quorvane::device
