#pragma once

#include "AnswerRule.h"
#include "SessionClock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

class LineEngine;
struct LineEvent;
struct ReceptionEnd;
struct SharedSettings;

// 自动应答: answers receptions by rules, whenever the port is open. Each
// reception is matched as it arrives; one that a rule is sure of (a pattern
// without "*" whose bytes are all in, a whole right frame) ends at once,
// the rest at the quiet gap. The answer goes out its rule's delay after the
// reception's end. A line looped back on itself cannot run away: past 1000
// answers in a second the excess is not sent, counted, and answering pauses
// until it is enabled again.
class AutoAnswer : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMostPerSecond = 1000;

    AutoAnswer(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
               QObject* parent = nullptr);
    ~AutoAnswer() override;

    // The rules must be usable (AnswerRuleProblem empty).
    void setRules(std::vector<AnswerRule> rules);
    const std::vector<AnswerRule>& rules() const { return rules_; }
    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    // After a storm's pause, answering goes on by itself this much later
    // (a run without a window, where nobody can tick it again); by default
    // it waits to be enabled again.
    void setResumeAfterPause(std::chrono::milliseconds after) { resumeAfter_ = after; }

    // Answers given by each rule, and those a storm kept back.
    const std::vector<std::uint64_t>& counts() const { return counts_; }
    std::uint64_t keptBack() const { return keptBack_; }

signals:
    // A reception has ended, answered by a rule (its answer follows after
    // the rule's delay).
    void receptionAnswered(const QString& rule);
    // An answer went out.
    void answered(const QString& rule, const ByteList& bytes);
    // Too many answers in a second: answering has paused.
    void paused();

private:
    struct Due {
        SessionClock::TimePoint at;
        std::size_t rule;
        ByteList bytes;
    };

    void EventCame(const LineEvent& event);
    void ReceptionEnded(const ReceptionEnd& end);
    void Decide(RequestMatcher::Answer answer);
    bool Storm();
    void SendDue();

    LineEngine& engine_;
    SessionClock& clock_;
    const SharedSettings& settings_;
    std::vector<AnswerRule> rules_;
    std::vector<std::uint64_t> counts_;
    bool enabled_ = false;
    std::optional<RequestMatcher> matcher_;
    bool answeredNow_ = false;   // the reception had a request answered before it ended
    QStringList answeredRules_;  // the rules that answered the reception, for its words
    std::deque<Due> due_;
    std::unique_ptr<SessionTimer> send_;
    std::unique_ptr<SessionTimer> resume_;
    std::optional<std::chrono::milliseconds> resumeAfter_;
    std::deque<SessionClock::TimePoint> lastSecond_; // answers in the last second
    std::uint64_t keptBack_ = 0;
};

} // namespace quorvane
