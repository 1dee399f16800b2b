#include "AutoAnswer.h"

#include "LineEngine.h"
#include "SerialPort.h"
#include "SharedSettings.h"

#include <algorithm>

namespace quorvane {

AutoAnswer::AutoAnswer(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
                       QObject* parent)
    : QObject(parent), engine_(engine), clock_(clock), settings_(settings),
      send_(clock.makeTimer(SessionClock::Role::Answer, [this] { SendDue(); }))
{
    connect(&engine_, &LineEngine::eventCame, this, &AutoAnswer::EventCame);
    connect(&engine_, &LineEngine::receptionEnded, this, &AutoAnswer::ReceptionEnded);
}

AutoAnswer::~AutoAnswer() = default;

void AutoAnswer::setRules(std::vector<AnswerRule> rules)
{
    matcher_.reset(); // it holds the old rules
    decided_.reset();
    due_.clear();
    send_->stop();
    rules_ = std::move(rules);
    counts_.resize(rules_.size()); // a rule edited keeps its count
}

void AutoAnswer::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!enabled_) {
        matcher_.reset();
        decided_.reset();
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
        decided_.reset();
    }
    if (!matcher_ || decided_ || event.bytes.empty()) {
        return;
    }
    matcher_->Add(event.bytes);
    if (auto answer = matcher_->AnswerNow()) {
        decided_ = std::move(answer);
        engine_.EndReception(); // a fixed request is answered without waiting for the gap
    }
}

void AutoAnswer::ReceptionEnded(const ReceptionEnd&)
{
    if (!matcher_) {
        return;
    }
    std::optional<RequestMatcher::Answer> answer =
        decided_ ? std::move(decided_) : matcher_->AnswerAtEnd();
    matcher_.reset();
    decided_.reset();
    if (answer && enabled_) {
        Decide(std::move(*answer));
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
    emit paused();
    return true;
}

void AutoAnswer::Decide(RequestMatcher::Answer answer)
{
    if (Storm()) {
        return;
    }
    const AnswerRule& rule = rules_[answer.rule];
    emit receptionAnswered(QString::fromStdString(rule.name));
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
