#include "ChartCsv.h"

#include "DecimalText.h"
#include "RunPoints.h"

#include <QIODevice>
#include <cstdio>
#include <string>

namespace quorvane {

namespace {

constexpr std::size_t kWriteAt = 1 << 16;

std::string Cell(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string Fixed3(double value)
{
    return FixedDecimalText(value, 3);
}

std::string Header(const std::vector<ReplyField>& fields)
{
    std::string line = "\xEF\xBB\xBF时间(s),帧号,响应(ms)";
    for (const ReplyField& f : fields) {
        line += ',' + Cell(f.unit.empty() ? f.name : f.name + "(" + f.unit + ")");
    }
    return line + "\r\n";
}

void AppendReception(std::string& out, const RunPoints::Reception& r, std::size_t fields)
{
    out += Fixed3(r.timeMs / 1000.0) + ',';
    if (r.frame != 0) {
        out += std::to_string(r.frame);
    }
    out += ',';
    if (r.responseMs) {
        out += Fixed3(*r.responseMs);
    }
    for (std::size_t f = 0; f < fields; ++f) {
        out += ',';
        if (r.values[f]) {
            out += WriteDecimal(*r.values[f]);
        }
    }
    out += "\r\n";
}

void AppendTimeout(std::string& out, const RunPoints::Timeout& t, std::size_t fields)
{
    out += Fixed3(t.timeMs / 1000.0) + ',' + std::to_string(t.frame) + ",超时";
    out.append(fields, ',');
    out += "\r\n";
}

bool Write(QIODevice& device, std::string& text)
{
    const auto size = static_cast<qint64>(text.size());
    const bool written = device.write(text.data(), size) == size;
    text.clear();
    return written;
}

} // namespace

bool WriteChartCsv(const RunPoints& points, const std::vector<ReplyField>& fields, QIODevice& out)
{
    const std::size_t count = std::min(fields.size(), points.fieldCount());
    std::string text = Header(fields);
    std::size_t r = 0;
    std::size_t t = 0;
    while (r < points.receptionCount() || t < points.timeoutCount()) {
        // A time-out and a reception of the same millisecond: the time-out first.
        const bool timeout =
            t < points.timeoutCount() &&
            (r == points.receptionCount() || points.timeout(t).timeMs <= points.reception(r).timeMs);
        if (timeout) {
            AppendTimeout(text, points.timeout(t++), count);
        } else {
            AppendReception(text, points.reception(r++), count);
        }
        if (text.size() >= kWriteAt && !Write(out, text)) {
            return false;
        }
    }
    return Write(out, text);
}

} // namespace quorvane
