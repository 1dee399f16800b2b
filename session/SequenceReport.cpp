#include "SequenceReport.h"

#include "RunSummary.h"
#include "SequenceRun.h"

#include <QSaveFile>

namespace quorvane {

namespace {

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

std::string XmlText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // XML 1.0 takes no control characters but tab, CR and LF.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
                out += c;
            }
        }
    }
    return out;
}

std::string Times(const ResponseHistogram& times, bool median)
{
    if (times.Count() == 0) {
        return {};
    }
    return MillisecondsText(median ? times.Median() : times.Maximum());
}

} // namespace

std::string SequenceCsv(const SequenceRun& run)
{
    std::string csv = "\xEF\xBB\xBF步骤,名称,通过,失败,超时,响应中位(ms),响应最大(ms),最后失败\r\n";
    const auto& results = run.results();
    for (std::size_t i = 0; i < results.size(); ++i) {
        const StepResult& r = results[i];
        csv += std::to_string(i + 1) + "," + CsvField(r.name) + "," + std::to_string(r.passes) +
               "," + std::to_string(r.failures) + "," + std::to_string(r.timeouts) + "," +
               Times(r.times, true) + "," + Times(r.times, false) + "," +
               CsvField(r.lastFailure) + "\r\n";
    }
    return csv;
}

std::string SequenceJunit(const SequenceRun& run, double seconds)
{
    const auto& results = run.results();
    std::uint64_t failing = 0;
    for (const StepResult& r : results) {
        failing += r.failures > 0 ? 1 : 0;
    }
    const std::string counts =
        "tests=\"" + std::to_string(results.size()) + "\" failures=\"" + std::to_string(failing) + "\"";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + counts + ">\n";
    xml += "  <testsuite name=\"quorvane\" " + counts + " errors=\"0\" time=\"" +
           std::to_string(seconds) + "\">\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const StepResult& r = results[i];
        const double median = r.times.Count() ? r.times.Median() / 10000.0 : 0.0;
        xml += "    <testcase classname=\"quorvane.sequence\" name=\"" + std::to_string(i + 1) +
               " " + XmlText(r.name) + "\" time=\"" + std::to_string(median) + "\"";
        if (r.failures == 0) {
            xml += "/>\n";
            continue;
        }
        const std::string message = "失败 " + std::to_string(r.failures) + " 次，通过 " +
                                    std::to_string(r.passes) + " 次；最后: " + r.lastFailure;
        xml += ">\n      <failure type=\"step\" message=\"" + XmlText(message) + "\">" +
               XmlText(message) + "</failure>\n    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

bool WriteWholeFile(const QString& path, const std::string& text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size()) &&
           file.commit();
}

} // namespace quorvane
