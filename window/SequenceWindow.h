#pragma once

#include "SequenceRun.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace quorvane {

class CommandWindow;
class LineEngine;
class SessionClock;

// "运行序列": runs the saved commands as a sequence, round after round, with
// 轮数 (0: until stopped) and 出错时停止, a progress line updated at most ten
// times a second, and each step's passes, failures and response times, which
// "保存报告..." writes as CSV. No message box opens during a run: a time-out
// is the step's failure. Modeless; closing only hides it.
class SequenceWindow : public QDialog {
    Q_OBJECT
public:
    struct Parts {
        LineEngine& engine;
        SessionClock& clock;
        CommandWindow& commands;
        // Opens the port if it is closed, as a frame written does; false
        // (after the port message) when it cannot.
        std::function<bool()> openPort;
        // Locks (true) or frees the send controls, as timed sending does.
        std::function<void(bool)> lockSending;
    };

    SequenceWindow(Parts parts, QWidget* parent);
    ~SequenceWindow() override;

    void showAndRaise();
    void cmdStart_Click(); // 开始, or 停止 while a run goes on
    void cmdReport_Click();
    // Ends a run at once (the window closes, the program ends).
    void StopRun();
    bool running() const { return run_ && run_->running(); }
    const SequenceRun* lastRun() const { return run_.get(); }

    // 轮数 and 出错时停止, as a setup holds them.
    int rounds() const;
    bool stopOnFail() const;
    void setChoices(int rounds, bool stopOnFail);

    // Asks for the report's file; empty when the user cancels. A file dialog
    // unless a test replaces it.
    std::function<QString(const QString&)> chooseReportFile;

private:
    void Start();
    void Finished(SequenceRun::Ending ending);
    void ShowProgress();

    Parts parts_;
    std::unique_ptr<SequenceRun> run_;
    QSpinBox* spinRounds = nullptr;
    QCheckBox* chkStopOnFail = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdReport = nullptr;
    QLabel* lblProgress = nullptr;
    QTableWidget* lstResults = nullptr;
    QTimer progressDue_;
    QString ending_;
    bool shownBefore_ = false;
};

} // namespace quorvane
