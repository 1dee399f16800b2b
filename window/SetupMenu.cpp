#include "SetupMenu.h"

#include "CommandWindow.h"
#include "FrmCom.h"
#include "FrmProtocol.h"
#include "FrmSendset.h"
#include "IntervalTimer.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "AnswerWindow.h"
#include "PortMenu.h"
#include "SequenceWindow.h"
#include "SetupFile.h"
#include "SetupText.h"
#include "SharedSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStandardPaths>


namespace quorvane {

namespace {

constexpr int kRecentCount = 5;
const QString kFilter = QStringLiteral("配置文件 (*.qvs);;所有文件 (*)");

const char* const kPortKeys[] = {"port", "baud", "databits", "parity", "stopbits", "handshake"};
const char* const kSendKeys[] = {"mode", "format", "interval", "encoding", "linebreak"};

std::array<QString, FrmCom::kListCount> PortTexts(const Setup& s)
{
    static const QString parity[] = {QStringLiteral("无"), QStringLiteral("奇校验"),
                                     QStringLiteral("偶校验")};
    static const QString flow[] = {QStringLiteral("无"), QStringLiteral("RTS/CTS"),
                                   QStringLiteral("XON/XOFF")};
    const int p = s.Parity == 'o' ? 1 : s.Parity == 'e' ? 2 : 0;
    return {QStringLiteral("COM%1").arg(s.Port), QString::number(s.BaudRate),
            QString::number(s.DataBits), parity[p], QString::fromStdString(s.StopBits),
            flow[s.Handshaking >= 0 && s.Handshaking < 3 ? s.Handshaking : 0]};
}

void ReadPortTexts(const std::array<QString, FrmCom::kListCount>& texts, Setup& s)
{
    s.Port = texts[0].mid(3).toInt();
    s.BaudRate = texts[1].toInt();
    s.DataBits = texts[2].toInt();
    s.Parity = texts[3] == QStringLiteral("奇校验") ? 'o' : texts[3] == QStringLiteral("偶校验") ? 'e' : 'n';
    s.StopBits = texts[4].toStdString();
    s.Handshaking = texts[5] == QStringLiteral("RTS/CTS") ? 1 : texts[5] == QStringLiteral("XON/XOFF") ? 2 : 0;
}

SendsetChoices SendChoices(const Setup& s)
{
    return {s.opt1, s.opt2, QString::number(s.IntervalMs), s.TextEncoding, s.LineBreak};
}

QString RecentFilePath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) {
        config = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(config).filePath(QStringLiteral("quorvane/recent-setups"));
}

} // namespace

SetupMenu::SetupMenu(Parts parts, QMenuBar* bar, QAction* before, QWidget* dialogParent)
    : QObject(bar), parts_(std::move(parts)), dialogParent_(dialogParent)
{
    menu_ = new QMenu(QStringLiteral("配置(&P)"), bar);
    menu_->setObjectName(QStringLiteral("Setup"));
    bar->insertMenu(before, menu_);
    auto add = [this](const QString& caption, const char* name, const QKeySequence& key) {
        QAction* item = menu_->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setShortcut(key);
        return item;
    };
    connect(add(QStringLiteral("打开配置..."), "OpenSetup", QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, this, &SetupMenu::OpenSetup_Click);
    connect(add(QStringLiteral("保存配置"), "SaveSetup",
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &SetupMenu::SaveSetup_Click);
    connect(add(QStringLiteral("另存配置..."), "SaveSetupAs", {}), &QAction::triggered, this,
            &SetupMenu::SaveSetupAs_Click);
    recentMenu_ = menu_->addMenu(QStringLiteral("最近的配置"));
    recentMenu_->setObjectName(QStringLiteral("RecentSetups"));
    menu_->addSeparator();
    connect(add(QStringLiteral("常用命令..."), "Commands", {}), &QAction::triggered, this,
            &SetupMenu::Commands_Click);
    connect(add(QStringLiteral("运行序列..."), "RunSequence", {}), &QAction::triggered, this,
            &SetupMenu::RunSequence_Click);
    connect(add(QStringLiteral("自动应答..."), "Answers", {}), &QAction::triggered, this,
            &SetupMenu::Answers_Click);
    connect(add(QStringLiteral("协议..."), "Protocol", {}), &QAction::triggered, this,
            &SetupMenu::Protocol_Click);
    LoadRecent();
    ShowRecent();
}

Setup SetupMenu::Collect() const
{
    Setup s;
    CollectSharedSettings(Shared(), s);
    const SendsetChoices send = parts_.sendDialog().CommittedChoices();
    s.IntervalMs = send.interval.toInt();
    ReadPortTexts(parts_.portDialog().SavedSelections(), s);
    s.Dtr = parts_.portMenu.dtrItem()->isChecked();
    s.Rts = parts_.portMenu.rtsItem()->isChecked();
    const Rs485Settings& rs485 = parts_.portDialog().SavedRs485();
    s.Rs485 = rs485.enabled;
    s.Rs485RtsHigh = rs485.rtsHighWhileSending;
    s.Rs485BeforeMs = rs485.delayBeforeMs;
    s.Rs485AfterMs = rs485.delayAfterMs;
    s.SendViewMode = parts_.cmbSend->currentIndex();
    s.ReceiveViewMode = parts_.cmbRcv->currentIndex();
    s.SendText = parts_.txtSend->toPlainText().toStdString();
    s.Commands = parts_.commands.commands();
    s.SequenceRounds = parts_.sequence.rounds();
    s.StopOnFail = parts_.sequence.stopOnFail();
    s.Answers = parts_.answers.rules();
    s.AnswersEnabled = parts_.answers.answering();
    s.Simulate = parts_.answers.simulating();
    s.Tables = parts_.answers.tables();
    const ChartChoices chart = parts_.chartChoices();
    s.ChartResponse = chart.response;
    s.ChartHistogram = chart.histogram;
    s.ChartThroughput = chart.throughput;
    s.ChartValues = chart.values;
    s.ChartFields = chart.fields;
    return s;
}

// What the dialogs themselves would refuse. A send text its format's keys
// could not have typed is no fault: the box holds one after its format has
// changed, and sending it says what is wrong, as for the box.
QString SetupMenu::Refusal(const Setup& s) const
{
    const int port = parts_.portDialog().FirstInvalidSelection(PortTexts(s));
    if (port >= 0) {
        return QStringLiteral("[port] %1").arg(QString::fromLatin1(kPortKeys[port]));
    }
    const int send = parts_.sendDialog().FirstInvalidChoice(SendChoices(s));
    if (send >= 0) {
        return QStringLiteral("[send] %1").arg(QString::fromLatin1(kSendKeys[send]));
    }
    return {};
}

// As if each dialog had been confirmed in turn: the frame and receive
// settings, the send mode, the port (closed if open and its settings
// change), then the lines, the views, the send box, the commands and the
// chart's panes and fields.
void SetupMenu::Apply(const Setup& s)
{
    if (parts_.main.timedSendingRunning()) {
        parts_.stopTimedSending();
    }
    parts_.closeSettingsDialogs();
    ApplySharedSettings(s, Shared());
    parts_.timeRcv.setInterval(Shared().RcvTimeoutMs);
    parts_.sendDialog().ConfirmChoices(SendChoices(s));
    const auto texts = PortTexts(s);
    const Rs485Settings rs485{s.Rs485, s.Rs485RtsHigh, s.Rs485BeforeMs, s.Rs485AfterMs};
    FrmCom& port = parts_.portDialog();
    if (texts != port.SavedSelections() || rs485 != port.SavedRs485()) {
        port.ConfirmSelections(texts, rs485);
    }
    parts_.portMenu.dtrItem()->setChecked(s.Dtr);
    parts_.portMenu.rtsItem()->setChecked(s.Rts);
    parts_.cmbSend->setCurrentIndex(s.SendViewMode);
    parts_.cmbRcv->setCurrentIndex(s.ReceiveViewMode);
    parts_.txtSend->setPlainText(QString::fromStdString(s.SendText));
    parts_.commands.setCommands(s.Commands);
    parts_.sequence.setChoices(s.SequenceRounds, s.StopOnFail);
    parts_.answers.setRules(s.Answers, s.AnswersEnabled);
    parts_.answers.setSimulation(s.Simulate, s.Tables);
    parts_.applyChart({s.ChartResponse, s.ChartHistogram, s.ChartThroughput, s.ChartValues,
                       s.ChartFields});
    if (protocolDialog_) {
        protocolDialog_->close();
    }
    emit protocolChanged();
}

bool SetupMenu::OpenSetup(const QString& path)
{
    const SetupReading reading = ReadSetupFile(path);
    QString problem = QString::fromStdString(reading.problem);
    if (reading.setup && problem.isEmpty()) {
        problem = Refusal(*reading.setup);
    }
    if (!reading.setup || !problem.isEmpty()) {
        MessageSeam::instance().show(SetupInvalidMessage(problem.toStdString()));
        return false;
    }
    Apply(*reading.setup);
    current_ = QFileInfo(path).absoluteFilePath();
    NoteRecent(current_);
    emit currentFileChanged(current_);
    return true;
}

bool SetupMenu::SaveSetup(const QString& path)
{
    const Setup setup = Collect();
    QSaveFile file(path);
    const std::string text = WriteSetupText(setup);
    if (const std::string problem = SetupSaveProblem(setup); !problem.empty()) {
        MessageSeam::instance().show(SetupSaveFailedMessage(problem));
        return false;
    }
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.write(text.data(), static_cast<qint64>(text.size())) ==
                           static_cast<qint64>(text.size()) &&
                       file.commit();
    if (!saved) {
        MessageSeam::instance().show(MessageId::SetupSaveFailed);
        return false;
    }
    current_ = QFileInfo(path).absoluteFilePath();
    NoteRecent(current_);
    emit currentFileChanged(current_);
    return true;
}

FrmProtocol& SetupMenu::ProtocolDialog()
{
    if (!protocolDialog_) {
        protocolDialog_ = new FrmProtocol(dialogParent_);
        connect(protocolDialog_, &FrmProtocol::choiceConfirmed, this, &SetupMenu::ApplyProtocol);
    }
    return *protocolDialog_;
}

void SetupMenu::Protocol_Click()
{
    ProtocolDialog().ask(Shared().protocol);
}

// A protocol newly chosen takes its send text in hexadecimal, as its
// function codes and identifiers are written.
void SetupMenu::ApplyProtocol(const ProtocolChoice& choice)
{
    const bool newly = choice.kind != ProtocolCustom && Shared().protocol.kind == ProtocolCustom;
    Shared().protocol = choice;
    Shared().FrameDirty = true;
    if (newly && Shared().opt2 != ModeHex) {
        SendsetChoices choices = parts_.sendDialog().CommittedChoices();
        choices.format = ModeHex;
        parts_.sendDialog().ConfirmChoices(choices);
    }
    emit protocolChanged();
}

void SetupMenu::OpenSetup_Click()
{
    const QString proposed = current_.isEmpty() ? QDir::homePath() : current_;
    const QString path = chooseOpenFile ? chooseOpenFile(proposed)
                                        : QFileDialog::getOpenFileName(
                                              dialogParent_, QStringLiteral("打开配置"), proposed,
                                              kFilter);
    if (!path.isEmpty()) {
        OpenSetup(path);
    }
}

void SetupMenu::SaveSetup_Click()
{
    if (current_.isEmpty()) {
        SaveSetupAs_Click();
    } else {
        SaveSetup(current_);
    }
}

void SetupMenu::SaveSetupAs_Click()
{
    const QString proposed =
        current_.isEmpty() ? QDir::home().filePath(QStringLiteral("quorvane.qvs")) : current_;
    QString path = chooseSaveFile ? chooseSaveFile(proposed)
                                  : QFileDialog::getSaveFileName(dialogParent_,
                                                                 QStringLiteral("另存配置"),
                                                                 proposed, kFilter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".qvs");
    }
    SaveSetup(path);
}

void SetupMenu::Answers_Click()
{
    parts_.answers.showAndRaise();
}

void SetupMenu::RunSequence_Click()
{
    parts_.sequence.showAndRaise();
}

void SetupMenu::Commands_Click()
{
    parts_.commands.showAndRaise();
}

void SetupMenu::NoteRecent(const QString& path)
{
    recent_.removeAll(path);
    recent_.prepend(path);
    while (recent_.size() > kRecentCount) {
        recent_.removeLast();
    }
    StoreRecent();
    ShowRecent();
}

void SetupMenu::ShowRecent()
{
    recentMenu_->clear();
    recentMenu_->setEnabled(!recent_.isEmpty());
    for (int i = 0; i < recent_.size(); ++i) {
        const QString path = recent_[i];
        QAction* item = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        item->setObjectName(QStringLiteral("RecentSetup_%1").arg(i));
        item->setToolTip(path);
        item->setStatusTip(path);
        connect(item, &QAction::triggered, this, [this, path] { OpenSetup(path); });
    }
}

// The last files opened are the program's own note, kept beside its port file.
void SetupMenu::LoadRecent()
{
    QFile file(RecentFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QStringList lines = QString::fromUtf8(file.read(64 * 1024)).split(u'\n');
    for (const QString& line : lines) {
        if (!line.isEmpty() && recent_.size() < kRecentCount && QDir::isAbsolutePath(line)) {
            recent_ << line;
        }
    }
}

void SetupMenu::StoreRecent() const
{
    const QString path = RecentFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(recent_.join(u'\n').toUtf8() + '\n');
        file.commit(); // a list that cannot be kept is only missed next time
    }
}

} // namespace quorvane
