#pragma once

#include <QObject>

namespace quorvane {

class LineEngine;
class SessionRecord;

// Notes what the line engine reports in the session record, one line each:
// frames written, bytes received (a reception's first with its response
// time), bytes with a parity or framing error, breaks, time-outs and the
// words after a reception (its check, a step's verdict, an answer after its
// time-out). The window and the run without a window share it.
class LineRecorder : public QObject {
    Q_OBJECT
public:
    LineRecorder(LineEngine& engine, SessionRecord& record, QObject* parent = nullptr);
};

} // namespace quorvane
