#pragma once

#include <iosfwd>

namespace quorvane {

struct ProgramOptions;

// quorvane --answer FILE.qvs: answers the device's master by the setup's
// 自动应答 rules on its port (or --port's), without a window or a display,
// until --for's seconds are up or SIGINT or SIGTERM; then prints each rule's
// answers on `out`. Needs a QCoreApplication. The exit status: 0, 2 a bad
// option or setup, 3 the port cannot be opened.
int AnswerWithoutWindow(const ProgramOptions& options, std::ostream& out, std::ostream& err);

} // namespace quorvane
