#pragma once

#include <iosfwd>

namespace quorvane {

struct ProgramOptions;

// quorvane --run FILE.qvs: the setup's sequence on its port (or --port's),
// without a window or a display. Progress goes to `err` (one line rewritten
// in place on a terminal, a plain line a second otherwise), each failure as a
// line of its own; the last line on `out` is the summary. Needs a
// QCoreApplication. The exit status: 0 every step passed, 1 some failed (or
// the device went away), 2 a bad option or setup, 3 the port cannot be
// opened, 130 or 143 after SIGINT or SIGTERM.
int RunSequenceWithoutWindow(const ProgramOptions& options, std::ostream& out, std::ostream& err);

} // namespace quorvane
