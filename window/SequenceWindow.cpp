#include "SequenceWindow.h"

#include "CommandWindow.h"
#include "Controls.h"
#include "DialogWindow.h"
#include "LineEngine.h"
#include "MessageSeam.h"
#include "RunSummary.h"
#include "SequenceReport.h"
#include "SharedSettings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

namespace quorvane {

namespace {

constexpr int kProgressEveryMs = 100;
// 步骤, 名称, 通过, 失败, 超时, the response median and maximum, 最后失败.
constexpr int kColumns = 8;
const QString kStart = QStringLiteral("开始(&S)");
const QString kStop = QStringLiteral("停止(&S)");

QString Times(const ResponseHistogram& times, bool median)
{
    if (times.Count() == 0) {
        return QStringLiteral("-");
    }
    return QString::fromStdString(MillisecondsText(median ? times.Median() : times.Maximum()));
}

Message Refusal(const std::string& why)
{
    return {"无法运行序列: " + why, "提示", MessageIcon::Warning, {}};
}

} // namespace

SequenceWindow::SequenceWindow(Parts parts, QWidget* parent)
    : QDialog(parent), parts_(std::move(parts))
{
    setObjectName(QStringLiteral("frmSequence"));
    setWindowTitle(QStringLiteral("运行序列"));
    SetUpDialogWindow(this, 640, 260);

    spinRounds = Place(new QSpinBox(this), QStringLiteral("spinRounds"), 52, 10, 120, 22,
                       QStringLiteral("轮数"));
    spinRounds->setRange(0, 1000000);
    spinRounds->setValue(1);
    spinRounds->setSpecialValueText(QStringLiteral("0 (直到停止)"));
    MakeLabelBefore(this, QStringLiteral("lblRounds"), QStringLiteral("轮数:"), 10, 14, spinRounds);
    chkStopOnFail = Place(new QCheckBox(QStringLiteral("出错时停止(&E)"), this),
                          QStringLiteral("chkStopOnFail"), 186, 12, 130, 20,
                          QStringLiteral("出错时停止"));
    cmdStart = MakeButton(this, QStringLiteral("cmdStart"), kStart, 460, 9, 80, 24);
    cmdReport = MakeButton(this, QStringLiteral("cmdReport"), QStringLiteral("保存报告(&R)..."), 550, 9,
                           80, 24);
    lblProgress = MakeLabel(this, QStringLiteral("lblProgress"), QString(), 10, 40, 620, 18);
    lstResults = Place(new QTableWidget(0, kColumns, this), QStringLiteral("lstResults"), 10, 62,
                       620, 188, QStringLiteral("序列结果"));
    lstResults->setHorizontalHeaderLabels(
        {QStringLiteral("步骤"), QStringLiteral("名称"), QStringLiteral("通过"),
         QStringLiteral("失败"), QStringLiteral("超时"), QStringLiteral("响应中位(ms)"),
         QStringLiteral("响应最大(ms)"), QStringLiteral("最后失败")});
    lstResults->verticalHeader()->hide();
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResults->setTabKeyNavigation(false);
    lstResults->horizontalHeader()->setStretchLastSection(true);
    for (const int column : {0, 2, 3, 4, 5, 6}) {
        lstResults->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    lstResults->setColumnWidth(1, 90);
    cmdReport->setEnabled(false);

    progressDue_.setInterval(kProgressEveryMs);
    connect(&progressDue_, &QTimer::timeout, this, &SequenceWindow::ShowProgress);
    connect(cmdStart, &QPushButton::clicked, this, &SequenceWindow::cmdStart_Click);
    connect(cmdReport, &QPushButton::clicked, this, &SequenceWindow::cmdReport_Click);
}

SequenceWindow::~SequenceWindow()
{
    StopRun();
}

void SequenceWindow::StopRun()
{
    if (running()) {
        run_->Stop();
    }
}

void SequenceWindow::showAndRaise()
{
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

int SequenceWindow::rounds() const
{
    return spinRounds->value();
}

bool SequenceWindow::stopOnFail() const
{
    return chkStopOnFail->isChecked();
}

void SequenceWindow::setChoices(int rounds, bool stopOnFail)
{
    spinRounds->setValue(rounds);
    chkStopOnFail->setChecked(stopOnFail);
}

void SequenceWindow::cmdStart_Click()
{
    if (running()) {
        run_->Stop(); // after the frame on the wire
        return;
    }
    Start();
}

void SequenceWindow::Start()
{
    if (parts_.engine.state() == SendState::Timed) {
        MessageSeam::instance().show(Refusal("定时发送正在进行"));
        return;
    }
    std::string problem;
    auto steps = StepsOfCommands(parts_.commands.commands(), Shared(), problem);
    if (!steps) {
        MessageSeam::instance().show(Refusal(problem));
        return;
    }
    if (!parts_.openPort()) {
        return;
    }
    SequenceRun::Options options;
    options.rounds = static_cast<std::uint64_t>(rounds());
    options.stopOnFail = stopOnFail();
    run_ = std::make_unique<SequenceRun>(parts_.engine, parts_.clock, std::move(*steps), options);
    connect(run_.get(), &SequenceRun::finished, this, &SequenceWindow::Finished);
    ending_.clear();
    lstResults->setRowCount(0);
    SetButtonCaption(cmdStart, kStop);
    cmdReport->setEnabled(false);
    spinRounds->setEnabled(false);
    chkStopOnFail->setEnabled(false);
    parts_.lockSending(true);
    progressDue_.start();
    run_->Start();
    ShowProgress();
}

void SequenceWindow::Finished(SequenceRun::Ending ending)
{
    progressDue_.stop();
    switch (ending) {
    case SequenceRun::Ending::Done:
        ending_ = QStringLiteral("完成");
        break;
    case SequenceRun::Ending::Stopped:
        ending_ = QStringLiteral("已停止");
        break;
    case SequenceRun::Ending::FailedStop:
        ending_ = QStringLiteral("出错停止");
        break;
    case SequenceRun::Ending::PortLost:
        ending_ = QStringLiteral("串口已断开");
        break;
    }
    SetButtonCaption(cmdStart, kStart);
    cmdReport->setEnabled(true);
    spinRounds->setEnabled(true);
    chkStopOnFail->setEnabled(true);
    parts_.lockSending(false);
    ShowProgress();
}

void SequenceWindow::ShowProgress()
{
    if (!run_) {
        return;
    }
    QString text = QString::fromStdString(SequenceProgressText(*run_));
    if (!ending_.isEmpty()) {
        text = ending_ + QStringLiteral(" · ") + QString::fromStdString(SequenceSummaryText(*run_));
    }
    lblProgress->setText(text);
    lblProgress->setAccessibleName(text);
    const auto& results = run_->results();
    lstResults->setRowCount(static_cast<int>(results.size()));
    for (int row = 0; row < static_cast<int>(results.size()); ++row) {
        const StepResult& r = results[static_cast<std::size_t>(row)];
        const QString cells[kColumns] = {
            QString::number(row + 1),    QString::fromStdString(r.name),
            QString::number(r.passes),   QString::number(r.failures),
            QString::number(r.timeouts), Times(r.times, true),
            Times(r.times, false),       QString::fromStdString(r.lastFailure)};
        for (int column = 0; column < kColumns; ++column) {
            QTableWidgetItem* item = lstResults->item(row, column);
            if (item == nullptr) {
                item = new QTableWidgetItem;
                lstResults->setItem(row, column, item);
            }
            item->setText(cells[column]);
            item->setToolTip(column == kColumns - 1 ? cells[column] : QString());
        }
    }
}

void SequenceWindow::cmdReport_Click()
{
    if (!run_ || running()) {
        return;
    }
    const QString proposed = QDir::home().filePath(QStringLiteral("quorvane-sequence.csv"));
    const QString path = chooseReportFile
                             ? chooseReportFile(proposed)
                             : QFileDialog::getSaveFileName(this, QStringLiteral("保存报告"),
                                                            proposed,
                                                            QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    if (!WriteWholeFile(path, SequenceCsv(*run_))) {
        MessageSeam::instance().show({"无法保存报告", "警告", MessageIcon::Critical, {}});
    }
}

} // namespace quorvane
