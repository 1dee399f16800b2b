#include "SendCycle.h"

#include "ByteFormat.h"
#include "CommandFrame.h"
#include "IntervalTimer.h"
#include "LineEngine.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "ReceiveCycle.h"
#include "SerialPort.h"
#include "SharedSettings.h"
#include "TextCodec.h"
#include "TextSink.h"

#include <string>

namespace quorvane {

namespace {

const QString kPortOpen = QStringLiteral("串口状态：打开");
const QString kPortClosed = QStringLiteral("串口状态：关闭");

} // namespace

SendCycle::SendCycle(Parts parts, QObject* parent) : QObject(parent), parts_(std::move(parts))
{
    // Automatic answers, and a sequence's frames, are shown as they are
    // written, each on its line.
    connect(&parts_.engine, &LineEngine::answerWritten, this,
            [this](const ByteList& answer) { ShowFrame(answer); });
    connect(&parts_.engine, &LineEngine::frameWritten, this, [this](quint64, const ByteList& frame) {
        if (parts_.engine.state() == SendState::Sequence) {
            ShowFrame(frame);
        }
    });
    connect(&parts_.engine, &LineEngine::portLost, this, &SendCycle::PortLost);
}

// The device went away under timed sending: it stops at once, with the port
// message (not a time-out), and stays stopped if the device comes back.
void SendCycle::PortLost()
{
    if (parts_.engine.state() != SendState::Timed) {
        return;
    }
    StopTimedSending();
    Message message = MessageFor(MessageId::PortUnavailable, parts_.main.port().CommPort());
    message.detail = "串口已断开";
    MessageSeam::instance().show(message);
}

void SendCycle::StopTimedSending()
{
    parts_.Timer1.setEnabled(false);
    parts_.engine.ForgetDeadlines();
    DiscardOutput();
    parts_.engine.setState(SendState::Idle);
    parts_.lockTimedControls(false);
}

void SendCycle::DiscardOutput()
{
    SerialPort& port = parts_.main.port();
    if (port.PortOpen()) {
        port.setOutBufferCount(0);
    }
}

bool SendCycle::RefreshSendFrame()
{
    flags_ = RangeFlags{};
    const QString text = parts_.sendText();
    if (text.isEmpty()) {
        return false;
    }
    const ByteOutcome frame = BuildSendFrame(text, Shared().opt2, Shared(), flags_);
    if (!frame.ok) {
        if (frame.message == MessageId::ProtocolFrameInvalid) {
            MessageSeam::instance().show(ProtocolFrameMessage(frame.problem));
        } else {
            MessageSeam::instance().show(frame.message);
        }
        return false;
    }
    SendFrame_ = frame.bytes;
    ShowFrame();
    return true;
}

void SendCycle::ShowFrame()
{
    ShowFrame(SendFrame_);
}

void SendCycle::ShowFrame(const ByteList& frame)
{
    StartSendLine(parts_.view);
    const int mode = parts_.displayMode();
    const int encoding = Shared().TextEncoding;
    if (mode == ModeString && encoding != EncodingSingleByte) {
        QString text = DecodeBytes(encoding, frame);
        text.replace(QChar(0), QChar(u' '));
        parts_.view.AppendBytes(ToUtf8(text));
    } else {
        AppendFrameText(mode, frame, parts_.view);
    }
}

void SendCycle::TransmitFrame(const ByteList& frame)
{
    if (frame.empty()) {
        return; // nothing was ever built: nothing to write, nothing to await
    }
    if (!OpenPortForUse()) {
        return;
    }
    if (!parts_.engine.WriteFrame(frame)) {
        // The device is going away under the frame: it was not written.
        parts_.main.setPortStatus(kPortClosed);
        RefuseFrame();
        return;
    }
    parts_.main.setPortStatus(kPortOpen);
}

bool SendCycle::OpenPortForUse()
{
    SerialPort& p = parts_.main.port();
    if (!p.PortOpen() && !p.setPortOpen(true)) {
        RefuseFrame();
        return false;
    }
    return true;
}

void SendCycle::RefuseFrame()
{
    const SerialPort& port = parts_.main.port();
    Message message = MessageFor(MessageId::PortUnavailable, port.CommPort());
    message.detail = port.OpenFailureReason();
    MessageSeam::instance().show(message);
    if (parts_.main.timedSendingRunning()) {
        StopTimedSending(); // otherwise every tick raises the message again
    }
}

void SendCycle::cmdSend_Click()
{
    if (parts_.engine.state() == SendState::Timed) {
        StopTimedSending();
        return;
    }
    const QString text = parts_.sendText();
    if (text.isEmpty()) {
        return;
    }
    const bool starting = parts_.main.timedSendingChosen();
    if (starting) {
        parts_.engine.setState(SendState::Timed);
        parts_.lockTimedControls(true);
    }
    if (!FrameReadyToSend(text)) {
        if (starting) {
            // Nothing is sent, so timed sending does not run: the button and
            // the dialogs say so.
            parts_.engine.setState(SendState::Idle);
            parts_.lockTimedControls(false);
        }
        return;
    }
    parts_.receive.EndBreakBurst();
    TransmitFrame(SendFrame_);
    Shared().FrameDirty = false;
    if (parts_.view.IsEmpty()) {
        ShowFrame();
    }
    if (parts_.engine.state() == SendState::Timed) {
        parts_.Timer1.setEnabled(true);
    }
}

// Rebuilds the frame when the text or the format changed; false (after its
// message, if it has one) when there is no frame to send for this text.
bool SendCycle::FrameReadyToSend(const QString& text)
{
    SharedSettings& settings = Shared();
    if (text != LastSendText_) {
        LastSendText_ = text;
        settings.FrameDirty = true;
    }
    if (settings.FrameDirty && !RefreshSendFrame()) {
        return false; // no stale frame is written in its place
    }
    if (flags_.ByteRangeError) {
        MessageSeam::instance().show(MessageId::ByteRange);
        return false;
    }
    if (flags_.BcdRangeError) {
        MessageSeam::instance().show(MessageId::BcdRange);
        return false;
    }
    return !SendFrame_.empty(); // no frame was ever built: nothing to write
}

void SendCycle::Timer1_Timer()
{
    if (MessageSeam::instance().isOpen()) {
        return; // ticks that fall due under a message box are dropped
    }
    if (parts_.engine.state() != SendState::Timed) {
        parts_.Timer1.setEnabled(false);
    } else if (parts_.main.port().OutBufferCount() == 0) {
        TransmitFrame(SendFrame_);
    }
    // else the device has not taken the last frame yet: this tick is skipped,
    // so frames never pile up in front of a slow or stalled device.
}

void SendCycle::cmdFresh_Click()
{
    const QString text = parts_.sendText();
    qsizetype first = 0;
    while (first < text.size() && text[first] == u' ') {
        ++first;
    }
    if (first == text.size()) {
        return;
    }
    if (text != LastSendText_) {
        LastSendText_ = text;
    }
    RefreshSendFrame();
    Shared().FrameDirty = false;
}

} // namespace quorvane
