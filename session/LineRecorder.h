#pragma once

#include "ByteList.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvane {

class LineEngine;
class SessionRecord;
struct FrameTimeout;
struct LineEvent;
struct ReceptionEnd;

// Notes what the line engine reports in the session record, one line each:
// frames written, bytes received (a reception's first with its response
// time), bytes with a parity or framing error, breaks, time-outs and the
// words after a reception (its check, a step's verdict, an answer after its
// time-out), and the byte limit passed. As CSV, one row per frame written, per reception (its bytes
// gathered until it ends) and per time-out. The window and the run without a
// window share it.
class LineRecorder : public QObject {
    Q_OBJECT
public:
    LineRecorder(LineEngine& engine, SessionRecord& record, QObject* parent = nullptr);

private:
    // A reception's row while its bytes arrive.
    struct PendingRow {
        bool active = false;
        std::string timestamp; // its first event's
        ByteList bytes;        // the first kRecordRowMaxBytes
        std::uint64_t byteCount = 0;
        std::uint64_t breaks = 0;
        std::uint64_t flawed = 0;
        std::optional<std::chrono::microseconds> response;
    };

    void FrameWritten(const ByteList& bytes);
    void EventCame(const LineEvent& event);
    void ReceptionEnded(const ReceptionEnd& end);
    void FrameTimedOut(const FrameTimeout& timeout);
    void GatherRow(const LineEvent& event);
    void NoteOverflow(const LineEvent& event);

    SessionRecord& record_;
    PendingRow pending_;
};

} // namespace quorvane
