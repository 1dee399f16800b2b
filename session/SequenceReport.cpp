#include "SequenceReport.h"

#include "DecimalText.h"
#include "RunSummary.h"
#include "SequenceRun.h"

#include <QFileInfo>
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

namespace {

std::string Seconds(double seconds)
{
    return FixedDecimalText(seconds, 3);
}

// The step a run's error belongs to: the one under way when it ended, else
// the first that never ran, else the one after the last judged.
std::size_t StepOfError(const SequenceRun& run)
{
    if (const auto unfinished = run.unfinishedStep()) {
        return *unfinished;
    }
    const auto& results = run.results();
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (results[i].passes + results[i].failures == 0) {
            return i;
        }
    }
    return (run.step() + 1) % results.size();
}

} // namespace

std::string SequenceJunit(const SequenceRun& run, double seconds, const std::string& error)
{
    const auto& results = run.results();
    const bool failedRun = !error.empty() && !results.empty();
    const std::size_t errorStep = failedRun ? StepOfError(run) : results.size();
    std::string cases;
    std::uint64_t failing = 0;
    std::uint64_t skipped = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const StepResult& r = results[i];
        const double time = std::chrono::duration<double>(r.elapsed).count();
        cases += "    <testcase classname=\"quorvane.sequence\" name=\"" + std::to_string(i + 1) +
                 " " + XmlText(r.name) + "\" time=\"" + Seconds(time) + "\">\n";
        const std::string counts = "失败 " + std::to_string(r.failures) + " 次，通过 " +
                                   std::to_string(r.passes) + " 次";
        if (failedRun && errorStep == i) {
            const std::string message = error + "（" + counts + "）";
            cases += "      <error type=\"run\" message=\"" + XmlText(message) + "\">" +
                     XmlText(message) + "</error>\n";
        } else if (r.failures > 0) {
            ++failing;
            const std::string message = counts + "；最后: " + r.lastFailure;
            cases += "      <failure type=\"step\" message=\"" + XmlText(message) + "\">" +
                     XmlText(message) + "</failure>\n";
        } else if (r.passes == 0) {
            ++skipped;
            cases += "      <skipped/>\n";
        }
        cases += "    </testcase>\n";
    }
    const std::string counts = "tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
                               std::to_string(failing) + "\" errors=\"" +
                               std::to_string(failedRun ? 1 : 0) + "\" skipped=\"" +
                               std::to_string(skipped) + "\" time=\"" + Seconds(seconds) + "\"";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + counts +
           ">\n  <testsuite name=\"quorvane\" " + counts + ">\n" + cases +
           "  </testsuite>\n</testsuites>\n";
}

bool WriteWholeFile(const QString& path, const std::string& text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), static_cast<qint64>(text.size())) ==
               static_cast<qint64>(text.size()) &&
           file.commit();
}

bool CanWriteWholeFile(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return !path.isEmpty() && folder.isDir() && folder.isWritable() &&
           (!file.exists() || (file.isFile() && file.isWritable()));
}

} // namespace quorvane
