#include "LineRecorder.h"

#include "LineEngine.h"
#include "RecordLine.h"
#include "ReplyChecker.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <algorithm>

namespace quorvane {

namespace {

// " [校验正确]" as a CSV cell's word: "校验正确".
void AppendUnbracketed(std::string& words, std::string_view piece)
{
    if (piece.starts_with(" [") && piece.ends_with("]")) {
        piece = piece.substr(2, piece.size() - 3);
    }
    if (!words.empty()) {
        words += ' ';
    }
    words += piece;
}

ByteList FirstBytes(const ByteList& bytes)
{
    if (bytes.size() <= kRecordRowMaxBytes) {
        return bytes;
    }
    return ByteList(bytes.begin(), bytes.begin() + kRecordRowMaxBytes);
}

} // namespace

LineRecorder::LineRecorder(LineEngine& engine, SessionRecord& record, QObject* parent)
    : QObject(parent), record_(record)
{
    connect(&engine, &LineEngine::frameWritten, this,
            [this](quint64, const ByteList& bytes) { FrameWritten(bytes); });
    connect(&engine, &LineEngine::eventCame, this, &LineRecorder::EventCame);
    connect(&engine, &LineEngine::receptionEnded, this, &LineRecorder::ReceptionEnded);
    connect(&engine, &LineEngine::frameTimedOut, this, &LineRecorder::FrameTimedOut);
}

void LineRecorder::FrameWritten(const ByteList& bytes)
{
    if (record_.writesRows()) {
        const ByteList first = FirstBytes(bytes);
        record_.noteRow({{}, true, &first, bytes.size(), {}, std::nullopt});
    }
    record_.note(RecordEvent::Sent, bytes);
}

void LineRecorder::EventCame(const LineEvent& event)
{
    if (record_.writesRows()) {
        GatherRow(event);
        NoteOverflow(event);
        return;
    }
    if (event.flawed > 0) {
        record_.note(RecordEvent::ParityError, {}, "×" + std::to_string(event.flawed));
    }
    if (event.code == SerialPort::comEventBreak) {
        record_.note(RecordEvent::Break);
    } else if (!event.bytes.empty()) {
        // "(+8.3ms)": the record always has a reception's response time.
        std::string response = event.response ? ResponseTimeText(*event.response) : "";
        if (!response.empty()) {
            response.pop_back();
        }
        record_.note(RecordEvent::Received, event.bytes, response);
    }
    NoteOverflow(event);
}

void LineRecorder::NoteOverflow(const LineEvent& event)
{
    if (event.overflow != OverflowRule::None) {
        record_.note(RecordEvent::Overflow);
    }
}

// A reception's bytes wait for its end; a row holds the first few thousand
// of them, and how many there were.
void LineRecorder::GatherRow(const LineEvent& event)
{
    if (event.first) {
        pending_ = {};
        pending_.active = true;
        pending_.timestamp = record_.stamp();
        pending_.response = event.response;
    }
    if (!pending_.active) {
        return; // recording started within this reception
    }
    pending_.breaks += event.code == SerialPort::comEventBreak ? 1 : 0;
    pending_.flawed += event.flawed;
    pending_.byteCount += event.bytes.size();
    const std::size_t room = kRecordRowMaxBytes - pending_.bytes.size();
    const std::size_t taken = std::min(room, event.bytes.size());
    pending_.bytes.insert(pending_.bytes.end(), event.bytes.begin(),
                         event.bytes.begin() + static_cast<std::ptrdiff_t>(taken));
}

void LineRecorder::ReceptionEnded(const ReceptionEnd& end)
{
    const std::string words = ReceptionWords(end, true);
    if (!record_.writesRows()) {
        if (!words.empty()) {
            record_.note(RecordEvent::ReplyChecked, {}, std::string_view(words).substr(1));
        }
        return;
    }
    if (!pending_.active) {
        return;
    }
    std::string verdict;
    if (pending_.flawed > 0) {
        AppendUnbracketed(verdict, "奇偶校验错误×" + std::to_string(pending_.flawed));
    }
    if (pending_.breaks > 0) {
        AppendUnbracketed(verdict, "Break×" + std::to_string(pending_.breaks));
    }
    for (std::size_t at = 0; at < words.size();) {
        const std::size_t next = words.find(" [", at + 1);
        AppendUnbracketed(verdict, std::string_view(words).substr(at, next - at));
        at = next == std::string::npos ? words.size() : next;
    }
    record_.noteRow({pending_.timestamp, false, &pending_.bytes, pending_.byteCount, verdict,
                     end.late ? std::nullopt : pending_.response});
    pending_ = {};
}

void LineRecorder::FrameTimedOut(const FrameTimeout& timeout)
{
    if (record_.writesRows()) {
        std::string verdict = "接收超时";
        if (timeout.verdict) {
            AppendUnbracketed(verdict, StepVerdictText(*timeout.verdict));
        }
        record_.noteRow({{}, false, nullptr, 0, verdict, std::nullopt});
        return;
    }
    record_.note(RecordEvent::Timeout);
    if (timeout.verdict) {
        record_.note(RecordEvent::ReplyChecked, {},
                     std::string_view(StepVerdictText(*timeout.verdict)).substr(1));
    }
}

} // namespace quorvane
