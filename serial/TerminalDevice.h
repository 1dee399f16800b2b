#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace quorvane {

class LineControl;

// Why TakeTerminal refused a path: nothing there, not a terminal that
// carries a line, access refused, held by another opener, still being
// closed by this process, or another error (with its errno).
struct TakeFailure {
    enum class Kind { None, Missing, NotALine, Denied, Held, Closing, Other };
    Kind kind = Kind::None;
    int error = 0; // errno, where the system gave one
};

// Opens the terminal at path for reading and writing without blocking and
// takes it for this opener alone: an flock on the open file description
// keeps out every other opener that locks too (this process included),
// TIOCEXCL keeps out plain opens by anyone but root. -1 when the path is
// missing, not a terminal that carries a line, or already taken. Nothing is
// created or truncated. A device this process is still closing is waited
// for a moment (200 ms), then refused. Why it refused goes to `failure`.
int TakeTerminal(const std::string& path, TakeFailure* failure = nullptr);

// Lets go of a terminal TakeTerminal took, through control, and closes it
// without the caller waiting. A UART driver's close waits until the chip has
// sent what it holds (up to 30 s for a USB adapter whose flow control holds
// the line), so a terminal with a wire is closed on a thread of its own; a
// pseudo-terminal closes at once, here.
void ReleaseTerminal(int fd, const std::shared_ptr<LineControl>& control);

// Runs closer(fd) on a thread of its own; until it returns, the device
// counts as closing (TakeTerminal waits a moment for it, then refuses it).
void CloseAside(int fd, dev_t device, std::function<void(int)> closer);
// Waits at most `most` for every close of the device to end; whether they
// have.
bool WaitForClose(dev_t device, std::chrono::milliseconds most);

// Whether fd is the slave side of a pseudo-terminal: a line without a wire.
bool IsPseudoTerminal(int fd);

// With VMIN and VTIME at 0 a read of an idle line returns 0 too; the line is
// gone only when poll reports a hang-up or an error.
bool LineHungUp(int fd);

// The device number behind fd, or behind path; 0 when there is none.
dev_t TerminalNumber(int fd);
dev_t TerminalNumber(const std::string& path);

} // namespace quorvane
