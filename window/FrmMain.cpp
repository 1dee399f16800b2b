#include "FrmMain.h"

#include "AnswerWindow.h"
#include "AutoAnswer.h"
#include "AutoAnswerShow.h"
#include "CommandFrame.h"
#include "CommandWindow.h"
#include "Controls.h"
#include "CopyShortcutFilter.h"
#include "EditMenu.h"
#include "FrmAbout.h"
#include "FrmCom.h"
#include "FrmFrame.h"
#include "FrmRcvset.h"
#include "FrmSendset.h"
#include "HelpWindow.h"
#include "IntervalTimer.h"
#include "LineEngine.h"
#include "LinePanel.h"
#include "LineRecorder.h"
#include "MainLayout.h"
#include "PortMenu.h"
#include "PortPath.h"
#include "MessageSeam.h"
#include "PortReference.h"
#include "ReceiveCycle.h"
#include "Reconnection.h"
#include "RecordControl.h"
#include "RecordFormatMenu.h"
#include "LineNoteShow.h"
#include "Rs485Notice.h"
#include "RunSummary.h"
#include "SendCycle.h"
#include "SendBox.h"
#include "SendBoxFilter.h"
#include "SequenceWindow.h"
#include "SerialPort.h"
#include "SessionRecord.h"
#include "SetupMenu.h"
#include "SharedSettings.h"
#include "StatusPanel.h"
#include "StatusRows.h"
#include "TextCodec.h"
#include "ViewMenu.h"
#include "WindowClock.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

namespace quorvane
{

namespace
{

const QString kCaptionStart = QStringLiteral("开始发送");
const QString kCaptionStop = QStringLiteral("停止发送");
const QString kPortClosed = QStringLiteral("串口状态：关闭");
const QString kPortOpen = QStringLiteral("串口状态：打开");
const QString kLatencyLowered = QStringLiteral("适配器延迟已设为 1 ms");

const QStringList& ModeItems()
{
    static const QStringList items = {QStringLiteral("字符串"),
                                      QStringLiteral("十进制字节串(空格隔开)"),
                                      QStringLiteral("十六进制字节串(空格隔开)"),
                                      QStringLiteral("十六进制+字符")};
    return items;
}

QComboBox* MakeModeList(QWidget* parent, const QString& name, int x, int y, int w, int h,
                        const QString& accessible)
{
    auto* list = new QComboBox(parent);
    list->addItems(ModeItems());
    return Place(list, name, x, y, w, h, accessible);
}

} // namespace

FrmMain::FrmMain(std::unique_ptr<SerialPort> port, QWidget* parent)
    : QMainWindow(parent), MSComm1_(std::move(port)), Timer1_(new IntervalTimer(this)),
      timeRcv_(new IntervalTimer(this)), clock_(std::make_unique<WindowClock>(*timeRcv_)),
      timeOfDay_([] {
          return QTime::currentTime().toString(Shared().ShowMillis ? QStringLiteral("hh:mm:ss.zzz")
                                                                   : QStringLiteral("hh:mm:ss"));
      }),
      record_(new SessionRecord(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    buildCycles();
    buildMenu();
    buildStatusBar();
    setTabOrder();
    connectHandlers();
    // Opens at the documented size, which is also the least it can take;
    // the size is not remembered.
    const QSize opening(424, menuBar()->sizeHint().height() + MainLayout::kDocumentedClient.height() +
                                 statusBar()->height());
    setMinimumSize(opening);
    resize(opening);
    Form_Load();
}

FrmMain::~FrmMain()
{
    MSComm1_->disconnect(this); // the port closes after this window's parts are gone
    // The sequence window ends its run on the engine: it goes first.
    delete sequence_;
    sequence_ = nullptr;
    delete engine_; // before the clock it holds alarms of
    if (SharedPort() == MSComm1_.get()) {
        SharedPort() = nullptr;
    }
}

void FrmMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->resize(MainLayout::kDocumentedClient);
    setCentralWidget(client);

    Frame1 = Place(new QGroupBox(QStringLiteral("发送区"), client), QStringLiteral("Frame1"), 9, 0,
                   409, 223, QStringLiteral("发送区"));
    Label1 = MakeLabel(Frame1, QStringLiteral("Label1"), QStringLiteral("发送数据(数据区):"), 8, 18,
                       102, 17);
    lblSendset = MakeLabel(Frame1, QStringLiteral("lblSendset"),
                           QStringLiteral("(单次发送十进制字节串(空格隔开))"), 108, 18, 206, 15);
    cmdSendset = MakeButton(Frame1, QStringLiteral("cmdSendset"), QStringLiteral("发送形式"), 318,
                            12, 60, 22);
    txtSend = Place(new SendBox(Frame1), QStringLiteral("txtSend"), 15, 39, 385, 30,
                    QStringLiteral("发送数据"));
    txtSend->setTabChangesFocus(true);
    txtSend->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Only the two views have scroll bars; the box scrolls with its caret.
    txtSend->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Label2 = MakeLabel(Frame1, QStringLiteral("Label2"), QStringLiteral("发送帧:显示为"), 10, 82,
                       85, 17);
    cmbSend = MakeModeList(Frame1, QStringLiteral("cmbSend"), 96, 79, 178, 20,
                           QStringLiteral("发送帧显示方式"));
    cmdFrame = MakeButton(Frame1, QStringLiteral("cmdFrame"), QStringLiteral("发送帧格式"), 309, 79,
                          72, 22);
    txtSView = MakeTextView(Frame1, QStringLiteral("txtSView"), 15, 106, 385, 81,
                            QStringLiteral("发送帧显示区"));
    cmdSClr =
        MakeButton(Frame1, QStringLiteral("cmdSClr"), QStringLiteral("清 空"), 111, 194, 57, 22);
    cmdFresh =
        MakeButton(Frame1, QStringLiteral("cmdFresh"), QStringLiteral("刷 新"), 216, 194, 57, 22);
    cmdSend =
        MakeButton(Frame1, QStringLiteral("cmdSend"), QStringLiteral("发 送"), 318, 194, 63, 22);

    Frame2 = Place(new QGroupBox(QStringLiteral("接收区"), client), QStringLiteral("Frame2"), 8,
                   230, 409, 188, QStringLiteral("接收区"));
    Label4 = MakeLabel(Frame2, QStringLiteral("Label4"), QStringLiteral("接收数据:显示为"), 9, 21,
                       97, 17);
    cmbRcv = MakeModeList(Frame2, QStringLiteral("cmbRcv"), 108, 18, 178, 20,
                          QStringLiteral("接收数据显示方式"));
    cmdRcvset = MakeButton(Frame2, QStringLiteral("cmdRcvset"), QStringLiteral("接收参数设置"), 303,
                           15, 88, 22);
    txtRView = MakeTextView(Frame2, QStringLiteral("txtRView"), 16, 48, 385, 105,
                            QStringLiteral("接收数据显示区"));
    cmdRClr =
        MakeButton(Frame2, QStringLiteral("cmdRClr"), QStringLiteral("清 空"), 198, 160, 61, 22);
    cmdExit =
        MakeButton(Frame2, QStringLiteral("cmdExit"), QStringLiteral("退 出"), 303, 160, 61, 22);

    ColourCheckWords(txtRView);
    AddFindBar(txtSView, Frame1, QStringLiteral("findSView"));
    AddFindBar(txtRView, Frame2, QStringLiteral("findRView"));
    using L = MainLayout;
    layout_ = new MainLayout(
        client,
        {Frame1,
         {{Label1}, {lblSendset}, {cmdSendset, L::Right}, {txtSend, L::Widen | L::Box},
          {Label2, L::BelowBox}, {cmbSend, L::BelowBox}, {cmdFrame, L::Right | L::BelowBox},
          {txtSView.widget, L::Widen | L::BelowBox | L::Lengthen},
          {cmdSClr, L::Right | L::BelowBox | L::Bottom},
          {cmdFresh, L::Right | L::BelowBox | L::Bottom},
          {cmdSend, L::Right | L::BelowBox | L::Bottom}},
         txtSView.widget},
        {Frame2,
         {{Label4}, {cmbRcv}, {cmdRcvset, L::Right}, {txtRView.widget, L::Widen | L::Lengthen},
          {cmdRClr, L::Right | L::Bottom}, {cmdExit, L::Right | L::Bottom}},
         txtRView.widget});
    layout_->setFindBars(txtSView.findBar, txtRView.findBar);

    new SendBoxFilter(*txtSend);
    // The Ctrl+C rule holds in every window of the program.
    qApp->installEventFilter(new CopyShortcutFilter(this));
}

void FrmMain::buildCycles()
{
    engine_ = new LineEngine(*MSComm1_, *clock_, Shared());
    engine_->setTimeoutSource([this] { return timeRcv_->interval(); });
    new LineRecorder(*engine_, *record_, this);
    rs485Notice_ = new Rs485Notice(*MSComm1_, this);
    connect(engine_, &LineEngine::stateChanged, this, &FrmMain::ShowSendCaption);
    receive_ = new ReceiveCycle({*this, *engine_, *txtRView.text,
                                 [this] { return cmbRcv->currentIndex(); },
                                 [this] { return timeOfDay_(); },
                                 [this] { send_->StopTimedSending(); }},
                                this);
    send_ = new SendCycle({*this, *Timer1_, *engine_, *receive_, *txtSView.text,
                           [this] { return SendText(); },
                           [this] { return cmbSend->currentIndex(); },
                           [this](bool locked) { LockTimedControls(locked); }},
                          this);
    // After the receive cycle: a reception's bytes are shown before an
    // answer ends it.
    answers_ = new AutoAnswer(*engine_, *clock_, Shared(), this);
    new AutoAnswerShow({*answers_, *receive_, *record_, [this]() -> StatusPanel& { return *notePanel_; }},
                       this);
}

void FrmMain::buildMenu()
{
    QMenu* com = menuBar()->addMenu(QStringLiteral("串口设置(&S)"));
    com->setObjectName(QStringLiteral("Com"));
    ComSet = com->addAction(QStringLiteral("通信设置"));
    ComSet->setObjectName(QStringLiteral("ComSet"));
    ComSet->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Close = com->addAction(QStringLiteral("关闭串口"));
    Close->setObjectName(QStringLiteral("Close"));
    Close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    portMenu_ = new PortMenu({*this, *send_, *receive_, *record_}, com, Close);

    QMenu* log = menuBar()->addMenu(QStringLiteral("记录(&L)"));
    log->setObjectName(QStringLiteral("Log"));
    commands_ = new CommandWindow(*this, this);
    commands_->current = [this] {
        SavedCommand command;
        command.text = txtSend->toPlainText().toStdString();
        command.format = Shared().opt2;
        return command;
    };
    connect(commands_, &CommandWindow::sendRequested, this, &FrmMain::SendCommand);
    sequence_ = new SequenceWindow({*engine_, *clock_, *commands_,
                                    [this] {
                                        if (!send_->OpenPortForUse()) {
                                            return false;
                                        }
                                        setPortStatus(kPortOpen);
                                        return true;
                                    },
                                    [this](bool locked) { LockSending(locked); }},
                                   this);
    connect(commands_, &CommandWindow::runRequested, sequence_, &SequenceWindow::showAndRaise);
    answerWindow_ = new AnswerWindow(*answers_, this);
    setup_ = new SetupMenu(
        {*this, *timeRcv_, *portMenu_, *commands_, *sequence_, *answerWindow_, cmbSend, cmbRcv,
         txtSend,
         [this]() -> FrmCom& { return PortDialog(); },
         [this]() -> FrmSendset& { return SendDialog(); }, [this] { send_->StopTimedSending(); },
         [this] {
             for (QWidget* dialog :
                  {static_cast<QWidget*>(frmFrame_), static_cast<QWidget*>(frmRcvset_)}) {
                 if (dialog) {
                     dialog->close();
                 }
             }
         },
         [this] { return view_->choices(); },
         [this](const ChartChoices& chart) { view_->applyChoices(chart); }},
        menuBar(), log->menuAction(), this);
    // The send area's title names the protocol its text is framed by.
    connect(setup_, &SetupMenu::protocolChanged, this, [this] {
        const std::string caption = ProtocolCaption(Shared().protocol);
        const QString title = caption.empty()
                                  ? QStringLiteral("发送区")
                                  : QStringLiteral("发送区 - ") + QString::fromStdString(caption);
        Frame1->setTitle(title);
        Frame1->setAccessibleName(title);
        ShowSummary();
        if (ProtocolTreeWindow* tree = view_ ? view_->protocolTreeWindow() : nullptr) {
            tree->Rebuild(); // read by the protocol now in force
        }
    });
    // 模拟从站 plays the protocol in force.
    connect(setup_, &SetupMenu::protocolChanged, answerWindow_, &AnswerWindow::ProtocolChanged);
    // The title names the setup open or saved last.
    connect(setup_, &SetupMenu::currentFileChanged, this, [this](const QString& path) {
        setWindowTitle(QStringLiteral("Quorvane - ") + QFileInfo(path).fileName());
    });
    LogToFile = log->addAction(QStringLiteral("记录到文件..."));
    LogToFile->setObjectName(QStringLiteral("LogToFile"));
    LogToFile->setCheckable(true);
    recordFormat_ = new RecordFormatMenu(log, *record_);
    recordControl_ =
        new RecordControl({*record_, *MSComm1_, *LogToFile, *recordFormat_, this}, this);

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("help"));
    new EditMenu(menuBar(), help->menuAction(), txtSView, txtRView);
    view_ = new ViewMenu(menuBar(), help->menuAction(), *engine_, *clock_, this);
    view_->setReceiveView(txtRView.widget);
    view_->describeRun = [this] {
        const std::string path = MSComm1_->DevicePath();
        QString text = QStringLiteral("COM%1 %2 %3")
                           .arg(MSComm1_->CommPort())
                           .arg(QString::fromStdString(
                               path.empty() ? ComDevicePath(MSComm1_->CommPort()) : path))
                           .arg(QString::fromStdString(MSComm1_->Settings()));
        if (!setup_->currentFile().isEmpty()) {
            text += QStringLiteral("  ") + QFileInfo(setup_->currentFile()).fileName();
        }
        return text;
    };
    shm = help->addAction(QStringLiteral("帮助主题"));
    shm->setObjectName(QStringLiteral("shm"));
    shm->setShortcut(QKeySequence(Qt::Key_F1));
    about = help->addAction(QStringLiteral("关于..."));
    about->setObjectName(QStringLiteral("about"));
    for (QAction* action : {ComSet, Close, shm}) {
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
}

void FrmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    ComStatus = new StatusPanel(QStringLiteral("ComStatus"), QStringLiteral("串口状态"), bar);
    ComStatus->setPanelText(kPortClosed);
    datePanel_ = new StatusPanel(QStringLiteral("DatePanel"), QStringLiteral("日期"), bar);
    timePanel_ = new StatusPanel(QStringLiteral("TimePanel"), QStringLiteral("时间"), bar);
    // Screen readers meet the panels in this order; the note stands between
    // the port state and the date.
    notePanel_ = new StatusPanel(QStringLiteral("NotePanel"), QStringLiteral("提示"), bar);
    linePanel_ = new LinePanel(*MSComm1_, bar);
    // A click on DTR or RTS in the panel switches it as the menu item does.
    connect(linePanel_, &LinePanel::outputLineClicked, this, [this](const QString& line) {
        QAction* item = line == QStringLiteral("DTR") ? portMenu_->dtrItem() : portMenu_->rtsItem();
        if (item->isEnabled()) {
            item->trigger();
        }
        linePanel_->refresh();
    });
    reconnection_ = new Reconnection(
        {*this, *receive_, *engine_, *record_, *linePanel_, *portMenu_->reconnectItem()}, this);
    summaryPanel_ = new StatusPanel(QStringLiteral("SummaryPanel"), QStringLiteral("收发统计"), bar);
    connect(linePanel_, &LinePanel::adapterLatencyChanged, this, &FrmMain::ShowSummary);
    // 低延迟模式 done: said in the note panel until the port next opens or
    // closes (by then the line panel's tooltip names the timer itself).
    connect(portMenu_, &PortMenu::latencyLowered, this, [this] {
        notePanel_->setPanelText(kLatencyLowered);
        linePanel_->readAdapterLatency();
    });
    connect(MSComm1_.get(), &SerialPort::openChanged, this, [this] {
        if (notePanel_->fullText() == kLatencyLowered) {
            notePanel_->setPanelText({});
        }
    });
    new LineNoteShow(*MSComm1_, *notePanel_, this);
    // The window's three panels above; the line and the figures below, the
    // figures whole and the line giving way where the row is short.
    new StatusRows(*bar, {{{ComStatus, notePanel_, datePanel_, timePanel_}, 1},
                          {{linePanel_, summaryPanel_}, 0}});
    // The figures change with every frame; the panel follows a few times a second.
    summaryDue_ = new QTimer(this);
    summaryDue_->setSingleShot(true);
    summaryDue_->setInterval(200);
    connect(summaryDue_, &QTimer::timeout, this, &FrmMain::ShowSummary);
    connect(engine_, &LineEngine::summaryChanged, this, [this] {
        if (!summaryDue_->isActive()) {
            summaryDue_->start();
        }
    });

    auto refreshClock = [this] {
        const QDateTime now = QDateTime::currentDateTime();
        datePanel_->setPanelText(now.toString(QStringLiteral("yyyy-MM-dd")));
        timePanel_->setPanelText(now.toString(QStringLiteral("hh:mm:ss")));
    };
    refreshClock();
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, refreshClock);
    clock->start(1000);
}

void FrmMain::setTabOrder()
{
    const QList<QWidget*> order = {cmdSendset, txtSend,  cmdFrame,  cmbSend, cmdSClr,
                                   cmdFresh,   cmdSend,  cmdRcvset, cmbRcv,  cmdRClr,
                                   cmdExit,    txtSView.widget, txtRView.widget};
    for (int i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
}

void FrmMain::connectHandlers()
{
    connect(cmdSend, &QPushButton::clicked, this, &FrmMain::cmdSend_Click);
    connect(cmdFresh, &QPushButton::clicked, this, &FrmMain::cmdFresh_Click);
    connect(cmdSClr, &QPushButton::clicked, this, &FrmMain::cmdSClr_Click);
    connect(cmdRClr, &QPushButton::clicked, this, &FrmMain::cmdRClr_Click);
    connect(cmdExit, &QPushButton::clicked, this, &FrmMain::cmdExit_Click);
    connect(Close, &QAction::triggered, this, &FrmMain::Close_Click);
    connect(ComSet, &QAction::triggered, this, &FrmMain::ComSet_Click);
    connect(cmdFrame, &QPushButton::clicked, this, &FrmMain::cmdFrame_Click);
    connect(cmdSendset, &QPushButton::clicked, this, &FrmMain::cmdSendset_Click);
    connect(cmdRcvset, &QPushButton::clicked, this, &FrmMain::cmdRcvset_Click);
    connect(about, &QAction::triggered, this, &FrmMain::about_Click);
    connect(shm, &QAction::triggered, this, &FrmMain::shm_Click);
    connect(Timer1_, &IntervalTimer::timeout, this, &FrmMain::Timer1_Timer);
    connect(timeRcv_, &IntervalTimer::timeout, this, &FrmMain::timeRcv_Timer);
    connect(MSComm1_.get(), &SerialPort::closedByHangUp, this, &FrmMain::OnHangUp);
    connect(&MessageSeam::instance(), &MessageSeam::closed, receive_, &ReceiveCycle::DrainPending);
    for (QComboBox* list : {cmbSend, cmbRcv}) {
        connect(list, &QComboBox::currentIndexChanged, this, &FrmMain::ShowBytesInFindBars);
    }
}

// A view's find bar looks for hex bytes the way the view shows them: its
// display list, and for string display the encoding of the send-mode dialog.
void FrmMain::ShowBytesInFindBars()
{
    const int encoding = Shared().TextEncoding;
    ShownCharacters characters;
    if (encoding != EncodingSingleByte) {
        characters = [encoding](const ByteList& bytes) { return WholeCharacters(encoding, bytes); };
    }
    ShowBytesInFindBarAs(txtSView, cmbSend->currentIndex(), encoding, characters);
    ShowBytesInFindBarAs(txtRView, cmbRcv->currentIndex(), encoding, characters);
}

void FrmMain::Form_Load()
{
    // The views are read-only by construction.
    cmbSend->setCurrentIndex(1);
    cmbRcv->setCurrentIndex(1);
    Timer1_->setEnabled(false);
    timeRcv_->setInterval(Shared().RcvTimeoutMs);
    timeRcv_->setEnabled(false);
    SharedPort() = MSComm1_.get();
    SerialPort& p = *MSComm1_;
    p.setCommPort(2);
    p.setSettings("9600,n,8,1");
    p.setInputMode(SerialPort::InputModes::Binary);
    p.setRThreshold(1);
    p.setInputLen(0);
    p.setOutBufferCount(0);
    p.setInBufferCount(0);
}

void FrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void FrmMain::Form_Unload()
{
    sequence_->StopRun();
    Timer1_->setEnabled(false);
    timeRcv_->setEnabled(false);
    send_->DiscardOutput();
    record_->stop();
    emit unloaded();
}

// ---- main-window controls the dialogs change ----

QString FrmMain::sendCaption() const
{
    return cmdSend->text();
}

// The send-mode dialog chooses timed sending ("开始发送") or single sending
// (its own caption); "停止发送" starts timed sending as a send click does.
void FrmMain::setSendCaption(const QString& caption)
{
    timedChosen_ = caption == kCaptionStart || caption == kCaptionStop;
    if (!timedChosen_) {
        singleCaption_ = caption;
    }
    if (caption == kCaptionStop) {
        engine_->setState(SendState::Timed);
    } else if (timedSendingRunning()) {
        engine_->setState(SendState::Idle);
    }
    ShowSendCaption();
}

void FrmMain::ShowSendCaption()
{
    const bool timed = engine_->state() == SendState::Timed;
    const QString caption = timed ? kCaptionStop : timedChosen_ ? kCaptionStart : singleCaption_;
    cmdSend->setText(caption);
    cmdSend->setAccessibleName(caption);
    const bool busy = timedSendingRunning();
    if (busy != timedShown_) {
        timedShown_ = busy;
        emit sendState_.timedSendingChanged(busy);
    }
}

void FrmMain::ShowSummary()
{
    const RunSummary& summary = engine_->summary();
    const bool checking = ChecksReceptions(Shared());
    summaryPanel_->setPanelTexts(QString::fromStdString(summary.ShortText(checking)),
                                 QString::fromStdString(summary.FullText(checking)));
    // An FTDI adapter holds received bytes up to its latency timer, and a
    // response is timed from the first byte the host sees.
    const std::optional<int> latency = linePanel_->adapterLatency();
    const bool late = latency && *latency > 1 && summary.ResponseTimes().Count() > 0;
    summaryPanel_->setToolTipNote(
        late ? QStringLiteral("响应时间含适配器延迟，最多 %1 ms").arg(*latency) : QString());
}

void FrmMain::setSendsetLabel(const QString& caption)
{
    lblSendset->setText(caption);
    lblSendset->setAccessibleName(caption);
}

void FrmMain::setTimer1Interval(int ms)
{
    Timer1_->setInterval(ms);
}

void FrmMain::stopTimer1()
{
    Timer1_->setEnabled(false);
}

void FrmMain::setTimeRcvInterval(int ms)
{
    timeRcv_->setInterval(ms);
}

void FrmMain::setPortStatus(const QString& text)
{
    ComStatus->setPanelText(text);
}

// A sequence holds the line as timed sending does: the same controls are
// locked and dialogs refuse their OK.
bool FrmMain::timedSendingRunning() const
{
    const SendState state = engine_->state();
    return state == SendState::Timed || state == SendState::Sequence;
}

void FrmMain::sendChoicesApplied()
{
    ShowBytesInFindBars();
}

void FrmMain::portSettingsApplied()
{
    portMenu_->PortSettingsApplied();
    reconnection_->PortChosen(MSComm1_->CommPort());
    rs485Notice_->SettingsApplied();
    linePanel_->refresh();
}

// ---- area buttons and menu ----

void FrmMain::cmdSClr_Click()
{
    txtSView.text->Clear();
}

void FrmMain::cmdRClr_Click()
{
    txtRView.text->Clear();
    receive_->ViewCleared();
}

void FrmMain::Close_Click()
{
    reconnection_->Cancel();
    if (MSComm1_->PortOpen()) {
        MSComm1_->setPortOpen(false);
        setPortStatus(kPortClosed);
    }
}

void FrmMain::cmdExit_Click()
{
    if (MSComm1_->PortOpen()) {
        MSComm1_->setPortOpen(false);
    }
    close();
}

FrmCom& FrmMain::PortDialog()
{
    if (!frmCom_) {
        frmCom_ = new FrmCom(*this, this);
    }
    return *frmCom_;
}

FrmSendset& FrmMain::SendDialog()
{
    if (!frmSendset_) {
        frmSendset_ = new FrmSendset(*this, this);
    }
    return *frmSendset_;
}

void FrmMain::ComSet_Click()
{
    PortDialog().showAndRaise();
}

// ---- session record ----

bool FrmMain::StartRecord(const QString& path)
{
    return recordControl_->StartRecord(path);
}

void FrmMain::setRecordFileChooser(std::function<QString(const QString&)> chooser)
{
    recordControl_->setFileChooser(std::move(chooser));
}

// Each dialog is shown without blocking; asking for an open one brings it to
// the front.
void FrmMain::cmdFrame_Click()
{
    if (!frmFrame_) {
        frmFrame_ = new FrmFrame(*this, this);
    }
    frmFrame_->showAndRaise();
}

void FrmMain::cmdSendset_Click()
{
    SendDialog().showAndRaise();
}

// A saved command goes into the send box with its format, then out as
// "发 送" sends it.
void FrmMain::SendCommand(const SavedCommand& command)
{
    if (command.format != Shared().opt2) {
        SendsetChoices choices = SendDialog().CommittedChoices();
        choices.format = command.format;
        if (SendDialog().ConfirmChoices(choices) != FrmSendset::kCommitted) {
            return;
        }
    }
    txtSend->setPlainText(QString::fromStdString(command.text));
    cmdSend_Click();
}

void FrmMain::cmdRcvset_Click()
{
    if (!frmRcvset_) {
        frmRcvset_ = new FrmRcvset(*this, this);
    }
    frmRcvset_->showAndRaise();
}

void FrmMain::about_Click()
{
    if (!frmAbout_) {
        frmAbout_ = new FrmAbout(this);
    }
    frmAbout_->showAndRaise();
}

void FrmMain::shm_Click()
{
    if (!help_) {
        help_ = new HelpWindow(this);
    }
    help_->showFromStart();
}

void FrmMain::OnHangUp()
{
    // The device went away; the port closed itself. The next frame reopens
    // it, and so does the device's return under 断线自动重连.
    setPortStatus(kPortClosed);
    reconnection_->PortLost();
}

// ---- send cycle ----

QString FrmMain::SendText() const
{
    // The box's line breaks are sent as CR LF, or as the break chosen for
    // string input.
    return WithLineBreaks(txtSend->toPlainText(), Shared().LineBreak);
}

// A sequence: the controls timed sending locks, and the send button too.
void FrmMain::LockSending(bool locked)
{
    LockTimedControls(locked);
    cmdSend->setEnabled(!locked);
}

void FrmMain::LockTimedControls(bool locked)
{
    for (QWidget* w : {static_cast<QWidget*>(cmdSendset), static_cast<QWidget*>(cmdFrame),
                       static_cast<QWidget*>(cmbRcv), static_cast<QWidget*>(cmdRcvset)}) {
        w->setEnabled(!locked);
    }
}

const ByteList& FrmMain::sendFrame() const { return send_->sendFrame(); }
bool FrmMain::RefreshSendFrame() { return send_->RefreshSendFrame(); }
void FrmMain::TransmitFrame(const ByteList& frame) { send_->TransmitFrame(frame); }
void FrmMain::cmdSend_Click() { send_->cmdSend_Click(); }
void FrmMain::Timer1_Timer() { send_->Timer1_Timer(); }
void FrmMain::cmdFresh_Click() { send_->cmdFresh_Click(); }

// ---- receive cycle ----

std::size_t FrmMain::heldBackBytes() const { return receive_->heldBackBytes(); }
void FrmMain::MSComm1_OnComm(const LineEvent& event) { receive_->MSComm1_OnComm(event); }
void FrmMain::timeRcv_Timer() { receive_->timeRcv_Timer(); }

} // namespace quorvane
