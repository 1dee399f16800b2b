#include "AutoAnswer.h"

#include "LineEngine.h"
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
}

AutoAnswer::~AutoAnswer() = default;

void AutoAnswer::setRules(std::vector<AnswerRule> rules)
{
    matcher_.reset(); // it holds the old rules
    answeredNow_ = false;
    due_.clear();
    send_->stop();
    rules_ = std::move(rules);
    counts_.resize(rules_.size()); // a rule edited keeps its count
}

void AutoAnswer::setEnabled(bool enabled)
{
    resume_->stop();
    enabled_ = enabled;
    if (!enabled_) {
        matcher_.reset();
        answeredNow_ = false;
    }
    lastSecond_.clear();
}

void AutoAnswer::EventCame(const LineEvent& event)
{
    if (!enabled_ || rules_.empty()) {
        return;
    }
    if (event.first) {
        matcher_.emplace(rules_, settings_);
        answeredNow_ = false;
    }
    if (!matcher_ || event.bytes.empty()) {
        return;
    }
    // Requests a busy reader gets in one piece are answered one by one: a
    // request a rule is sure of ends where its bytes end, and what follows
    // starts the next one.
    std::span<const std::uint8_t> rest(event.bytes);
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

void AutoAnswer::ReceptionEnded(const ReceptionEnd&)
{
    if (!matcher_) {
        return;
    }
    std::optional<RequestMatcher::Answer> last = matcher_->AnswerAtEnd();
    matcher_.reset();
    answeredNow_ = false;
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
    enabled_ = false;
    if (resumeAfter_) {
        resume_->start(*resumeAfter_);
    }
    emit paused();
    return true;
}

void AutoAnswer::Decide(RequestMatcher::Answer answer)
{
    if (Storm()) {
        return;
    }
    const AnswerRule& rule = rules_[answer.rule];
    const QString name = QString::fromStdString(rule.name);
    if (!answeredRules_.contains(name)) {
        answeredRules_ << name;
    }
    // Always through the alarm, at 0 ms too: an answer looped back is then
    // read on a later turn of the event loop, never inside this one.
    const auto at = clock_.now() + std::chrono::milliseconds(rule.delayMs);
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
            ++counts_[next.rule];
            emit answered(QString::fromStdString(rules_[next.rule].name), next.bytes);
        }
    }
    if (!due_.empty()) {
        send_->start(std::chrono::duration_cast<std::chrono::microseconds>(due_.front().at -
                                                                           clock_.now()));
    }
}

} // namespace quorvane
