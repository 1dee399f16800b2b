#include "SessionRecord.h"

#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;
constexpr int kFlushMs = 1000;

std::string Now()
{
    return QDateTime::currentDateTime()
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
        .toStdString();
}

} // namespace

SessionRecord::SessionRecord(QObject* parent) : QObject(parent), clock_(Now)
{
    flushTimer_.setInterval(kFlushMs);
    connect(&flushTimer_, &QTimer::timeout, this, &SessionRecord::flush);
}

SessionRecord::~SessionRecord()
{
    stop();
}

bool SessionRecord::start(const QString& path)
{
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    stop();
    fd_ = fd;
    path_ = path;
    format_ = chosen_;
    struct stat file {};
    if (format_ == RecordFormat::Csv && ::fstat(fd, &file) == 0 && file.st_size == 0) {
        buffer_ = "\xEF\xBB\xBF" + RecordCsvHeader();
    }
    flushTimer_.start();
    return true;
}

void SessionRecord::stop()
{
    if (fd_ < 0) {
        return;
    }
    flush();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    flushTimer_.stop();
    buffer_.clear();
    breaks_ = 0;
}

void SessionRecord::noteRow(const RecordRow& row)
{
    if (!writesRows()) {
        return;
    }
    if (row.timestamp.empty()) {
        const std::string now = clock_();
        RecordRow stamped = row;
        stamped.timestamp = now;
        buffer_ += RecordCsvRow(stamped);
    } else {
        buffer_ += RecordCsvRow(row);
    }
    if (buffer_.size() >= kFlushAt) {
        flush();
    }
}

void SessionRecord::note(RecordEvent event, const ByteList& bytes, std::string_view detail)
{
    if (fd_ < 0 || (format_ == RecordFormat::Csv && !RecordEventHasOwnRow(event))) {
        return;
    }
    if (event == RecordEvent::Break && detail.empty()) {
        // A line that raises nothing but breaks (a wrong baud rate) gives
        // one line per run of them, stamped with the first: "接收到Break ×N".
        if (breaks_ == 0) {
            firstBreak_ = clock_();
        }
        ++breaks_;
        return;
    }
    writeBreaks();
    buffer_ += entry(clock_(), event, bytes, detail);
    if (buffer_.size() >= kFlushAt) {
        flush();
    }
}

std::string SessionRecord::entry(std::string_view timestamp, RecordEvent event,
                                 const ByteList& bytes, std::string_view detail) const
{
    return format_ == RecordFormat::Csv ? RecordCsvEventRow(timestamp, event, bytes, detail)
                                        : RecordLine(timestamp, event, bytes, detail);
}

void SessionRecord::writeBreaks()
{
    if (breaks_ == 0) {
        return;
    }
    const std::string count = breaks_ > 1 ? "×" + std::to_string(breaks_) : std::string();
    buffer_ += entry(firstBreak_, RecordEvent::Break, {}, count);
    breaks_ = 0;
}

void SessionRecord::flush()
{
    writeBreaks();
    std::size_t written = 0;
    while (fd_ >= 0 && written < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ::close(fd_);
            fd_ = -1;
            flushTimer_.stop();
            buffer_.clear();
            emit failed();
            return;
        }
    }
    buffer_.clear();
}

} // namespace quorvane
