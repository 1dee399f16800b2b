#pragma once

#include "ReplyField.h"

#include <vector>

class QIODevice;

namespace quorvane {

class RunPoints;

// Writes every point of the run as CSV for a spreadsheet: UTF-8 with a
// byte-order mark, one row per reception and per time-out in the order they
// came, with the columns
//   时间(s)   seconds since the run began, to the millisecond
//   帧号      the frame of the run it answers (empty: none)
//   响应(ms)  its response time, "超时" for a time-out
//   then one column per field, "名称(单位)": the value, empty where the
//   reception gave none.
// False when the device would not take the text.
bool WriteChartCsv(const RunPoints& points, const std::vector<ReplyField>& fields, QIODevice& out);

} // namespace quorvane
