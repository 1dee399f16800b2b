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
// each, appended to a file. Lines wait in a buffer that is written at least
// once a second, whenever it passes 64 KB and when recording stops, so the
// window never waits on the disk for more than one write of a buffer.
class SessionRecord : public QObject {
    Q_OBJECT
public:
    explicit SessionRecord(QObject* parent = nullptr);
    ~SessionRecord() override;

    // Starts appending to the file at path (created when missing). False,
    // and nothing changed, when it cannot be opened for writing.
    bool start(const QString& path);
    // Writes what waits and closes the file.
    void stop();
    bool isRecording() const { return fd_ >= 0; }
    QString path() const { return path_; }

    void note(RecordEvent event, const ByteList& bytes = {}, std::string_view detail = {});

    // The time stamp of each line (tests pin it).
    void setClock(std::function<std::string()> clock) { clock_ = std::move(clock); }

signals:
    // A write failed (a full disk, a vanished file system): recording has
    // stopped and the file is closed.
    void failed();

private:
    void flush();
    void writeBreaks();

    int fd_ = -1;
    QString path_;
    std::string buffer_;
    QTimer flushTimer_;
    std::function<std::string()> clock_;
    std::uint64_t breaks_ = 0; // breaks not yet written, since firstBreak_
    std::string firstBreak_;
};

} // namespace quorvane
