#include "AutoAnswer.h"

#include "LineEngine.h"
#include "ProtocolReading.h"
#include "SerialPort.h"
#include "SharedSettings.h"

#include <algorithm>
#include <utility>

namespace quorvane {

AutoAnswer::AutoAnswer(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
                       QObject* parent)
    : QObject(parent), engine_(engine), clock_(clock), settings_(settings),
      send_(clock.makeTimer(SessionClock::Role::Answer, [this] { SendDue(); })),
      resume_(clock.makeTimer(SessionClock::Role::Answer, [this] { setEnabled(true); }))
{
    connect(&engine_, &LineEngine::eventCame, this, &AutoAnswer::EventCame);
    connect(&engine_, &LineEngine::receptionEnded, this, &AutoAnswer::ReceptionEnded);
    // Kept as it goes out, before a line that echoes at once can bring it back.
    connect(&engine_, &LineEngine::answerWritten, this, [this](const ByteList& bytes) {
        if (written_.size() + bytes.size() <= RequestMatcher::kMostKept) {
            written_.insert(written_.end(), bytes.begin(), bytes.end());
        }
    });
}

AutoAnswer::~AutoAnswer() = default;

QString AutoAnswer::PauseNote(Pause why)
{
    return why == Pause::Loop ? QStringLiteral("自动应答回环,已暂停")
                              : QStringLiteral("自动应答过多,已暂停");
}

void AutoAnswer::setRules(std::vector<AnswerRule> rules)
{
    matcher_.reset(); // it holds the old rules
    answeredNow_ = false;
    due_.clear();
    send_->stop();
    rules_ = std::move(rules);
    counts_.resize(rules_.size()); // a rule edited keeps its count
}

void AutoAnswer::setSimulation(std::optional<SimulatedDevice> device)
{
    hearing_ = false;
    deviceRequest_.clear();
    answeredNow_ = false;
    due_.clear();
    send_->stop();
    device_ = std::move(device);
}

QString AutoAnswer::SimulationName()
{
    return QStringLiteral("模拟从站");
}

QString AutoAnswer::NameOf(std::size_t rule) const
{
    return rule == kSimulated ? SimulationName() : QString::fromStdString(rules_[rule].name);
}

int AutoAnswer::DelayOf(std::size_t rule) const
{
    return rule == kSimulated ? 0 : rules_[rule].delayMs;
}

void AutoAnswer::setEnabled(bool enabled)
{
    resume_->stop();
    const bool changed = enabled != enabled_;
    enabled_ = enabled;
    if (!enabled_) {
        matcher_.reset();
        hearing_ = false;
        deviceRequest_.clear();
        answeredNow_ = false;
    }
    lastSecond_.clear();
    written_.clear();
    echoRun_ = 0;
    if (changed) {
        emit enabledChanged(enabled_);
    }
}

void AutoAnswer::EventCame(const LineEvent& event)
{
    if (!enabled_ || (rules_.empty() && !device_)) {
        return;
    }
    if (event.first) {
        if (device_) {
            hearing_ = true;
            deviceRequest_.clear();
        } else {
            matcher_.emplace(rules_, settings_);
        }
        answeredNow_ = false;
        // The answers written since the last reception may be coming back.
        expected_ = std::exchange(written_, {});
        expectedAt_ = 0;
        answerBefore_ = !expected_.empty();
        echo_ = false;
        heard_.clear();
    }
    if ((!matcher_ && !hearing_) || event.bytes.empty()) {
        return;
    }
    std::span<const std::uint8_t> rest(event.bytes);
    ByteList joined;
    if (Echoed(rest, joined)) {
        return;
    }
    const std::size_t room = RequestMatcher::kMostKept - std::min(RequestMatcher::kMostKept, heard_.size());
    heard_.insert(heard_.end(), rest.begin(),
                  rest.begin() + static_cast<std::ptrdiff_t>(std::min(room, rest.size())));
    if (hearing_) {
        HearSimulated(rest);
        if (answeredNow_ && deviceRequest_.empty()) {
            engine_.EndReceptionAfterEvent();
        }
        return;
    }
    // Requests a busy reader gets in one piece are answered one by one: a
    // request a rule is sure of ends where its bytes end, and what follows
    // starts the next one.
    while (!rest.empty()) {
        std::size_t taken = rest.size();
        if (matcher_->request().size() < RequestMatcher::kMostKept) {
            taken = 1;
        }
        matcher_->Add(rest.first(taken));
        rest = rest.subspan(taken);
        if (auto answer = matcher_->AnswerNow()) {
            Decide(std::move(*answer)); // at once: its delay counts from here
            matcher_.emplace(rules_, settings_);
            answeredNow_ = true;
        }
    }
    if (answeredNow_ && matcher_->request().empty()) {
        // A fixed request is answered without waiting for the gap; the
        // reception ends once everyone has seen this event.
        engine_.EndReceptionAfterEvent();
    }
}

// The simulated device answers each whole request as its last byte comes,
// and what follows starts the next request.
void AutoAnswer::HearSimulated(std::span<const std::uint8_t> bytes)
{
    for (const std::uint8_t byte : bytes) {
        if (deviceRequest_.size() > kMostProtocolFrame) {
            return; // longer than any request: not answered
        }
        deviceRequest_.push_back(byte);
        if (WholeProtocolFrame(deviceRequest_, device_->choice())) {
            AnswerSimulated();
            deviceRequest_.clear();
            answeredNow_ = true;
        }
    }
}

void AutoAnswer::AnswerSimulated()
{
    const std::uint64_t writes = device_->writes();
    std::optional<ByteList> reply = device_->Answer(deviceRequest_);
    if (device_->writes() != writes) {
        emit tablesWritten();
    }
    if (reply) {
        Decide({kSimulated, std::move(*reply)});
    }
}

void AutoAnswer::ReceptionEnded(const ReceptionEnd&)
{
    if (!matcher_ && !hearing_) {
        return;
    }
    std::optional<RequestMatcher::Answer> last;
    if (matcher_) {
        last = matcher_->AnswerAtEnd();
    } else if (!deviceRequest_.empty() && deviceRequest_.size() <= kMostProtocolFrame &&
               enabled_ && !echo_) {
        AnswerSimulated(); // a request its shape did not tell whole
    }
    matcher_.reset();
    hearing_ = false;
    deviceRequest_.clear();
    answeredNow_ = false;
    if (!echo_ && expected_.empty()) {
        // A request, not an answer back: one other than the last, or one
        // where an answer's echo was due, ends a run of echoes.
        if (answerBefore_ || heard_ != lastHeard_) {
            echoRun_ = 0;
        }
        lastHeard_ = std::exchange(heard_, {});
    }
    expected_.clear(); // the beginning of an answer and no more: not answered either
    if (last && enabled_) {
        Decide(std::move(*last));
    }
    // The words after the reception name the rules that answered it.
    for (const QString& rule : std::exchange(answeredRules_, {})) {
        emit receptionAnswered(rule);
    }
}

// Past the limit a second, the answer is not sent and answering pauses.
bool AutoAnswer::Storm()
{
    const auto now = clock_.now();
    while (!lastSecond_.empty() && now - lastSecond_.front() >= std::chrono::seconds(1)) {
        lastSecond_.pop_front();
    }
    if (lastSecond_.size() < kMostPerSecond) {
        lastSecond_.push_back(now);
        return false;
    }
    ++keptBack_;
    PauseFor(Pause::Storm);
    return true;
}

void AutoAnswer::PauseFor(Pause why)
{
    enabled_ = false;
    if (resumeAfter_) {
        resume_->start(*resumeAfter_);
    }
    emit paused(why);
}

// Whether the bytes are the answers written before this reception coming
// back, or may still be (so far they are their beginning). An echo is not
// answered, nor what follows it in its reception; 10 in a row pause
// answering. When the bytes turn out to be a request after all, `bytes`
// becomes the whole reception so far (in `joined`).
bool AutoAnswer::Echoed(std::span<const std::uint8_t>& bytes, ByteList& joined)
{
    if (echo_) {
        return true;
    }
    if (expected_.empty()) {
        return false;
    }
    const auto from = expected_.begin() + static_cast<std::ptrdiff_t>(expectedAt_);
    const auto [mine, theirs] = std::mismatch(from, expected_.end(), bytes.begin(), bytes.end());
    if (mine == expected_.end()) {
        echo_ = true;
        expected_.clear();
        if (++echoRun_ >= kMostEchoes) {
            PauseFor(Pause::Loop);
        }
        return true;
    }
    if (theirs == bytes.end()) {
        expectedAt_ += static_cast<std::size_t>(mine - from);
        return true;
    }
    if (expectedAt_ > 0) {
        joined.assign(expected_.begin(), from);
        joined.insert(joined.end(), bytes.begin(), bytes.end());
        bytes = joined;
    }
    expected_.clear();
    return false;
}

void AutoAnswer::Decide(RequestMatcher::Answer answer)
{
    if (Storm()) {
        return;
    }
    const QString name = NameOf(answer.rule);
    if (!answeredRules_.contains(name)) {
        answeredRules_ << name;
    }
    // Always through the alarm, at 0 ms too: an answer looped back is then
    // read on a later turn of the event loop, never inside this one.
    const auto at = clock_.now() + std::chrono::milliseconds(DelayOf(answer.rule));
    const auto later = std::upper_bound(due_.begin(), due_.end(), at,
                                        [](const auto& t, const Due& due) { return t < due.at; });
    due_.insert(later, {at, answer.rule, std::move(answer.bytes)});
    send_->start(std::chrono::duration_cast<std::chrono::microseconds>(due_.front().at -
                                                                       clock_.now()));
}

void AutoAnswer::SendDue()
{
    while (!due_.empty() && due_.front().at <= clock_.now()) {
        Due next = std::move(due_.front());
        due_.pop_front();
        if (engine_.WriteAnswer(next.bytes)) {
            ++(next.rule == kSimulated ? simulatedCount_ : counts_[next.rule]);
            emit answered(NameOf(next.rule), next.bytes);
        }
    }
    if (!due_.empty()) {
        send_->start(std::chrono::duration_cast<std::chrono::microseconds>(due_.front().at -
                                                                           clock_.now()));
    }
}

} // namespace quorvane
