#pragma once

#include "AnswerRule.h"
#include "SimulatedDevice.h"
#include "SessionClock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <span>
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
// reception's end. Answering cannot run away: an answer that comes back as
// the next reception (a line that echoes, an RS-485 adapter that hears
// itself) is not answered again, and after 10 such echoes in a row (no
// answer without its echo, no other request between) answering pauses.
// Past 1000 answers in a second the excess is not sent, counted, and
// answering pauses too. A pause lasts until answering is enabled again.
class AutoAnswer : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMostPerSecond = 1000;
    static constexpr int kMostEchoes = 10;

    enum class Pause { Storm, Loop };
    Q_ENUM(Pause)
    // What a pause says: "自动应答过多,已暂停", "自动应答回环,已暂停".
    static QString PauseNote(Pause why);

    AutoAnswer(LineEngine& engine, SessionClock& clock, const SharedSettings& settings,
               QObject* parent = nullptr);
    ~AutoAnswer() override;

    // The rules must be usable (AnswerRuleProblem empty).
    void setRules(std::vector<AnswerRule> rules);
    // 模拟从站: the protocol's device answers every request instead of the
    // rules (its tables must be usable: SimulatedDevice::TablesProblem
    // empty); nothing gives the rules back.
    void setSimulation(std::optional<SimulatedDevice> device);
    // The device played, its tables as the requests have written them.
    const SimulatedDevice* simulation() const { return device_ ? &*device_ : nullptr; }
    std::uint64_t simulatedAnswers() const { return simulatedCount_; }
    // What the answers of the simulated device are named in the record and
    // the words after a reception.
    static QString SimulationName();
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
    // Too many answers in a second, or too many echoes: answering has paused.
    void paused(AutoAnswer::Pause why);
    // Answering was switched on or off by setEnabled (a pause ends when it
    // is switched on).
    void enabledChanged(bool enabled);
    // The simulated device answered a request that wrote into its tables.
    void tablesWritten();

private:
    struct Due {
        SessionClock::TimePoint at;
        std::size_t rule;
        ByteList bytes;
    };

    void EventCame(const LineEvent& event);
    void ReceptionEnded(const ReceptionEnd& end);
    void Decide(RequestMatcher::Answer answer);
    void HearSimulated(std::span<const std::uint8_t> bytes);
    void AnswerSimulated();
    QString NameOf(std::size_t rule) const;
    int DelayOf(std::size_t rule) const;
    bool Storm();
    void PauseFor(Pause why);
    bool Echoed(std::span<const std::uint8_t>& bytes, ByteList& joined);
    void SendDue();

    LineEngine& engine_;
    SessionClock& clock_;
    const SharedSettings& settings_;
    std::vector<AnswerRule> rules_;
    std::vector<std::uint64_t> counts_;
    bool enabled_ = false;
    std::optional<RequestMatcher> matcher_;
    // 模拟从站: the device, the request arriving (one past the longest frame
    // at most) and the answers it gave.
    static constexpr std::size_t kSimulated = static_cast<std::size_t>(-1);
    std::optional<SimulatedDevice> device_;
    bool hearing_ = false;
    ByteList deviceRequest_;
    std::uint64_t simulatedCount_ = 0;
    bool answeredNow_ = false;   // the reception had a request answered before it ended
    QStringList answeredRules_;  // the rules that answered the reception, for its words
    std::deque<Due> due_;
    std::unique_ptr<SessionTimer> send_;
    std::unique_ptr<SessionTimer> resume_;
    std::optional<std::chrono::milliseconds> resumeAfter_;
    std::deque<SessionClock::TimePoint> lastSecond_; // answers in the last second
    std::uint64_t keptBack_ = 0;
    // Echoes: the answers written since the last reception began, what the
    // reception now arriving would be if it brought them back (and how much
    // of them it has), whether it did, its other bytes (the first ones), and
    // those of the last reception that was no echo.
    ByteList written_;
    ByteList expected_;
    std::size_t expectedAt_ = 0;
    bool echo_ = false;
    bool answerBefore_ = false; // an answer went out before this reception
    ByteList heard_;
    ByteList lastHeard_;
    int echoRun_ = 0; // echoes in a row
};

} // namespace quorvane
