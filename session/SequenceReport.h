#pragma once

#include <QString>
#include <string>

namespace quorvane {

class SequenceRun;

// The results of a sequence, step by step, as a spreadsheet reads them: CSV
// in UTF-8 with a byte-order mark (so the Chinese names show), one row per
// step: 步骤, 名称, 通过, 失败, 超时, 响应中位(ms), 响应最大(ms), 最后失败.
std::string SequenceCsv(const SequenceRun& run);

// The same as a JUnit file for a CI server: one test case per step, its
// failures counted over the rounds, its time the seconds its frames waited
// for their verdicts. A step that never ran is skipped; `error`, when the
// run did not finish (the port lost or never opened, a signal), is an error
// of the step under way (else of the first that never ran).
std::string SequenceJunit(const SequenceRun& run, double seconds, const std::string& error = {});

// Writes a whole file or nothing (a temporary file renamed); false when it
// cannot be written.
bool WriteWholeFile(const QString& path, const std::string& text);
// Whether WriteWholeFile could write there now: its folder takes a new
// file, and the file, if it is there, is one that can be replaced.
bool CanWriteWholeFile(const QString& path);

} // namespace quorvane
