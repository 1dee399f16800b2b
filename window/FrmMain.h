#pragma once

#include "ByteList.h"
#include "Controls.h"
#include "MainControls.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QAction;

namespace quorvane {

class AnswerWindow;
class AutoAnswer;
class CommandWindow;
class FrmAbout;
class FrmCom;
class FrmFrame;
class FrmRcvset;
class FrmSendset;
class HelpWindow;
class IntervalTimer;
class LineEngine;
class LinePanel;
class MainLayout;
class PortMenu;
class ReceiveCycle;
class Reconnection;
class RecordControl;
class RecordFormatMenu;
class Rs485Notice;
class SendCycle;
class SendBox;
class SequenceWindow;
class SerialPort;
class SessionRecord;
class SetupMenu;
struct SavedCommand;
class StatusPanel;
class ViewMenu;
class WindowClock;
struct LineEvent;

// The main window: send area, receive area, status bar, the serial port and
// the two timers. It builds and writes frames (send cycle) and collects and
// shows what the device answers (receive cycle).
class FrmMain : public QMainWindow, public MainControls {
    Q_OBJECT
public:
    explicit FrmMain(std::unique_ptr<SerialPort> port, QWidget* parent = nullptr);
    ~FrmMain() override;

    // The clock of the receive header (tests pin it).
    void setTimeOfDay(std::function<QString()> clock) { timeOfDay_ = std::move(clock); }

    // The session record ("记录到文件..."): starts appending to the file at
    // path, as the menu item does after its file dialog. False, after the
    // message box, when the file cannot be opened.
    bool StartRecord(const QString& path);
    SessionRecord& record() { return *record_; }
    SetupMenu& setup() { return *setup_; }
    ViewMenu& view() { return *view_; }
    // Asks for the record's file, given the proposed one; empty when the
    // user cancels. A file dialog unless a test replaces it.
    void setRecordFileChooser(std::function<QString(const QString&)> chooser);

    // MainControls
    QString sendCaption() const override;
    void setSendCaption(const QString& caption) override;
    void setSendsetLabel(const QString& caption) override;
    void setTimer1Interval(int ms) override;
    void stopTimer1() override;
    void setTimeRcvInterval(int ms) override;
    void setPortStatus(const QString& text) override;
    SerialPort& port() override { return *MSComm1_; }
    bool timedSendingRunning() const override;
    bool timedSendingChosen() const override { return timedChosen_; }
    void portSettingsApplied() override;
    LineEngine& engine() { return *engine_; }
    void sendChoicesApplied() override;

    SendStateSignal& sendState() override { return sendState_; }
    IntervalTimer& timer1() { return *Timer1_; }
    IntervalTimer& timeRcv() { return *timeRcv_; }
    const ByteList& sendFrame() const;
    // Received bytes held back under an open message box.
    std::size_t heldBackBytes() const;

    // Send cycle.
    bool RefreshSendFrame();
    void TransmitFrame(const ByteList& frame);
    void cmdSend_Click();
    void Timer1_Timer();
    void cmdFresh_Click();

    // Receive cycle.
    void MSComm1_OnComm(const LineEvent& event);
    void timeRcv_Timer();

signals:
    // The window has closed; the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildCycles();
    void buildMenu();
    void buildStatusBar();
    void setTabOrder();
    void connectHandlers();
    void Form_Load();
    void Form_Unload();

    QString SendText() const;
    void LockTimedControls(bool locked);
    void LockSending(bool locked);
    void ShowBytesInFindBars();
    void OnHangUp();

    void cmdSClr_Click();
    void cmdRClr_Click();
    void cmdExit_Click();
    void Close_Click();
    void ComSet_Click();
    FrmCom& PortDialog();
    FrmSendset& SendDialog();
    void SendCommand(const SavedCommand& command);
    void cmdFrame_Click();
    void cmdSendset_Click();
    void cmdRcvset_Click();
    void about_Click();
    void shm_Click();
    void ShowSendCaption();
    void ShowSummary();

    // Controls, named as documented.
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblSendset = nullptr;
    QPushButton* cmdSendset = nullptr;
    SendBox* txtSend = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbSend = nullptr;
    QPushButton* cmdFrame = nullptr;
    TextView txtSView;
    QPushButton* cmdSClr = nullptr;
    QPushButton* cmdFresh = nullptr;
    QPushButton* cmdSend = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cmbRcv = nullptr;
    QPushButton* cmdRcvset = nullptr;
    TextView txtRView;
    QPushButton* cmdRClr = nullptr;
    QPushButton* cmdExit = nullptr;
    StatusPanel* ComStatus = nullptr;
    StatusPanel* notePanel_ = nullptr; // a note that stays until it is dealt with
    StatusPanel* datePanel_ = nullptr;
    StatusPanel* timePanel_ = nullptr;
    LinePanel* linePanel_ = nullptr;
    StatusPanel* summaryPanel_ = nullptr;
    QAction* ComSet = nullptr;
    QAction* Close = nullptr;
    QAction* shm = nullptr;
    QAction* LogToFile = nullptr;
    QAction* about = nullptr;

    std::unique_ptr<SerialPort> MSComm1_;
    IntervalTimer* Timer1_ = nullptr;
    IntervalTimer* timeRcv_ = nullptr;
    std::unique_ptr<WindowClock> clock_;
    LineEngine* engine_ = nullptr;
    // The send button's caption follows the engine: "停止发送" while timed
    // sending runs, "开始发送" while it is chosen, else the single caption.
    bool timedChosen_ = false;
    bool timedShown_ = false;
    QString singleCaption_ = QStringLiteral("发 送");
    QTimer* summaryDue_ = nullptr;
    // The dialogs: the frame format, receive settings and About boxes live
    // while open; the port and send mode dialogs and the help window, once
    // built, are only hidden.
    QPointer<FrmFrame> frmFrame_;
    QPointer<FrmRcvset> frmRcvset_;
    QPointer<FrmAbout> frmAbout_;
    FrmCom* frmCom_ = nullptr;
    FrmSendset* frmSendset_ = nullptr;
    HelpWindow* help_ = nullptr;
    SendStateSignal sendState_;
    std::function<QString()> timeOfDay_;
    SessionRecord* record_ = nullptr;
    ReceiveCycle* receive_ = nullptr;
    SendCycle* send_ = nullptr;
    PortMenu* portMenu_ = nullptr;
    Reconnection* reconnection_ = nullptr;
    Rs485Notice* rs485Notice_ = nullptr;
    MainLayout* layout_ = nullptr;
    CommandWindow* commands_ = nullptr;
    SequenceWindow* sequence_ = nullptr;
    AutoAnswer* answers_ = nullptr;
    AnswerWindow* answerWindow_ = nullptr;
    SetupMenu* setup_ = nullptr;
    ViewMenu* view_ = nullptr;
    RecordFormatMenu* recordFormat_ = nullptr;
    RecordControl* recordControl_ = nullptr;

    bool centred_ = false;
};

} // namespace quorvane
