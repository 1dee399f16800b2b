#pragma once

#include "ByteList.h"
#include "RecordLine.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvane {

// The session record: every frame written, every reception as it arrives,
// each time-out, overflow and break, and each port open and close, one line
// each, appended to a file. As CSV it holds instead one row per frame written
// and per reception (and per time-out), under a header row. Lines wait in a buffer that is written at least
// once a second, whenever it passes 64 KB and when recording stops, so the
// window never waits on the disk for more than one write of a buffer.
class SessionRecord : public QObject {
    Q_OBJECT
public:
    explicit SessionRecord(QObject* parent = nullptr);
    ~SessionRecord() override;

    // Starts appending to the file at path (created when missing), in the
    // format chosen; a CSV file that is empty gets a byte-order mark (so a
    // spreadsheet reads it as UTF-8) and the header row first. False, and
    // nothing changed, when it cannot be opened for writing.
    bool start(const QString& path);
    // Writes what waits and closes the file.
    void stop();
    bool isRecording() const { return fd_ >= 0; }
    QString path() const { return path_; }

    // The format of the next start(); a record in progress keeps its own.
    void setFormat(RecordFormat format) { chosen_ = format; }
    RecordFormat format() const { return chosen_; }
    // Whether rows are being written (recording, as CSV).
    bool writesRows() const { return isRecording() && format_ == RecordFormat::Csv; }

    // A line of the text record; nothing while the record is CSV.
    void note(RecordEvent event, const ByteList& bytes = {}, std::string_view detail = {});
    // A row of the CSV record; nothing while the record is text. The row's
    // time is now when it has none.
    void noteRow(const RecordRow& row);
    // The time stamp a line or row written now would carry.
    std::string stamp() const { return clock_(); }

    // The time stamp of each line (tests pin it).
    void setClock(std::function<std::string()> clock) { clock_ = std::move(clock); }

signals:
    // A write failed (a full disk, a vanished file system): recording has
    // stopped and the file is closed.
    void failed();

private:
    void flush();
    void writeBreaks();
    // An event as a line of text or, in the CSV record, as a row of its own.
    std::string entry(std::string_view timestamp, RecordEvent event, const ByteList& bytes,
                      std::string_view detail) const;

    int fd_ = -1;
    QString path_;
    std::string buffer_;
    QTimer flushTimer_;
    std::function<std::string()> clock_;
    RecordFormat chosen_ = RecordFormat::Text;
    RecordFormat format_ = RecordFormat::Text;
    std::uint64_t breaks_ = 0; // breaks not yet written, since firstBreak_
    std::string firstBreak_;
};

} // namespace quorvane
