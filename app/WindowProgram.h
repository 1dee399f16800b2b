#pragma once

#include <iosfwd>

namespace quorvane {

// Replaces this process with the window program, quorvane-window, with the
// same arguments: beside this program in a build tree, or in
// ../lib/quorvane/ of an installation. Returns only when it cannot (after
// saying why on `err`), with the exit status to use.
int BecomeWindowProgram(char** argv, std::ostream& err);

} // namespace quorvane
