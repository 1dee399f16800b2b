#include "LineRecorder.h"

#include "LineEngine.h"
#include "RecordLine.h"
#include "ReplyChecker.h"
#include "SerialPort.h"
#include "SessionRecord.h"

namespace quorvane {

LineRecorder::LineRecorder(LineEngine& engine, SessionRecord& record, QObject* parent)
    : QObject(parent)
{
    connect(&engine, &LineEngine::frameWritten, this,
            [&record](quint64, const ByteList& bytes) { record.note(RecordEvent::Sent, bytes); });
    connect(&engine, &LineEngine::eventCame, this, [&record](const LineEvent& event) {
        if (event.flawed > 0) {
            record.note(RecordEvent::ParityError, {}, "×" + std::to_string(event.flawed));
        }
        if (event.code == SerialPort::comEventBreak) {
            record.note(RecordEvent::Break);
        } else if (!event.bytes.empty()) {
            // "(+8.3ms)": the record always has a reception's response time.
            std::string response = event.response ? ResponseTimeText(*event.response) : "";
            if (!response.empty()) {
                response.pop_back();
            }
            record.note(RecordEvent::Received, event.bytes, response);
        }
    });
    connect(&engine, &LineEngine::receptionEnded, this, [&record](const ReceptionEnd& end) {
        std::string words;
        if (end.check) {
            words += ReplyCheckText(*end.check);
        }
        if (end.verdict) {
            words += StepVerdictText(*end.verdict);
        }
        if (end.late) {
            words += " [超时后收到]";
        }
        if (!words.empty()) {
            record.note(RecordEvent::ReplyChecked, {}, std::string_view(words).substr(1));
        }
    });
    connect(&engine, &LineEngine::frameTimedOut, this, [&record](const FrameTimeout& timeout) {
        record.note(RecordEvent::Timeout);
        if (timeout.verdict) {
            record.note(RecordEvent::ReplyChecked, {},
                        std::string_view(StepVerdictText(*timeout.verdict)).substr(1));
        }
    });
}

} // namespace quorvane
