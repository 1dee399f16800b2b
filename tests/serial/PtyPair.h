#pragma once

#include "ByteList.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <termios.h>

namespace quorvane::test {

// A pseudo-terminal: the test holds the master side and plays the device;
// the port under test opens the slave path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool valid() const { return master_ >= 0 && !slavePath_.empty(); }
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Writes every byte from the device side, waiting while the line is full.
    bool send(const ByteList& bytes,
              std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Writes what the line takes now, at most count bytes from bytes; how many.
    std::size_t sendSome(const std::uint8_t* bytes, std::size_t count) const;
    // What the port wrote and the device has not read yet, at most limit bytes.
    ByteList receive(std::size_t limit = 1 << 20) const;

    // The slave's attributes, as the port left them.
    termios slaveAttributes() const;
    bool setSlaveAttributes(const termios& attributes) const;

    // The device goes away.
    void closeMaster();

private:
    int master_ = -1;
    std::string slavePath_;
};

// Points QUORVANE_COMn at a path while it lives; the held COM mapping follows.
class ComBinding {
public:
    ComBinding(int n, const std::string& path);
    ~ComBinding();
    ComBinding(const ComBinding&) = delete;
    ComBinding& operator=(const ComBinding&) = delete;

private:
    std::string variable_;
};

} // namespace quorvane::test
