#pragma once

#include <string>
#include <sys/types.h>

namespace quorvane {

// Opens the terminal at path for reading and writing without blocking and
// takes it for this opener alone: an flock on the open file description
// keeps out every other opener that locks too (this process included),
// TIOCEXCL keeps out plain opens by anyone but root. -1 when the path is
// missing, not a terminal that carries a line, or already taken. Nothing is
// created or truncated.
int TakeTerminal(const std::string& path);

// Lets go of a terminal TakeTerminal took, and closes it.
void ReleaseTerminal(int fd);

// Whether fd is the slave side of a pseudo-terminal: a line without a wire.
bool IsPseudoTerminal(int fd);

// With VMIN and VTIME at 0 a read of an idle line returns 0 too; the line is
// gone only when poll reports a hang-up or an error.
bool LineHungUp(int fd);

// The device number behind fd, or behind path; 0 when there is none.
dev_t TerminalNumber(int fd);
dev_t TerminalNumber(const std::string& path);

} // namespace quorvane
