#pragma once

#include "ChartChoices.h"
#include "Setup.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QWidget;

namespace quorvane {

class FrmProtocol;

class AnswerWindow;
class CommandWindow;
class SequenceWindow;
class FrmCom;
class FrmSendset;
class IntervalTimer;
class MainControls;
class PortMenu;

// "配置(P)": a device's whole setup kept in a .qvs file, and the saved
// commands. Opening checks the file whole before anything changes, then
// applies it as if each dialog had been confirmed; saving writes a
// temporary file and renames it, so the old file survives any failure.
class SetupMenu : public QObject {
    Q_OBJECT
public:
    struct Parts {
        MainControls& main;
        IntervalTimer& timeRcv;
        PortMenu& portMenu;
        CommandWindow& commands;
        SequenceWindow& sequence;
        AnswerWindow& answers;
        QComboBox* cmbSend;
        QComboBox* cmbRcv;
        QPlainTextEdit* txtSend;
        std::function<FrmCom&()> portDialog;
        std::function<FrmSendset&()> sendDialog;
        std::function<void()> stopTimedSending;
        // Closes the frame format and receive settings dialogs if they are
        // open: their OK would put back what they showed before.
        std::function<void()> closeSettingsDialogs;
        // The chart's panes and fields (查看(V)).
        std::function<ChartChoices()> chartChoices;
        std::function<void(const ChartChoices&)> applyChart;
    };

    // Puts "配置(P)" into the menu bar before `before`.
    SetupMenu(Parts parts, QMenuBar* bar, QAction* before, QWidget* dialogParent);

    // Opens and applies the setup at path; false (after the message) when it
    // cannot be read or is refused.
    bool OpenSetup(const QString& path);
    // Writes the current setup to path; false after "无法保存配置文件".
    bool SaveSetup(const QString& path);

    void OpenSetup_Click();
    void SaveSetup_Click();
    void SaveSetupAs_Click();
    void Commands_Click();
    void RunSequence_Click();
    void Answers_Click();
    // 协议...: the protocol dialog; what it confirms is applied at once.
    void Protocol_Click();
    void ApplyProtocol(const ProtocolChoice& choice);

    Setup Collect() const;
    // The first problem that keeps a setup from being applied, or empty.
    QString Refusal(const Setup& setup) const;
    void Apply(const Setup& setup);

    // The file dialogs (tests replace them): given the proposed path, the
    // chosen one, empty when cancelled.
    std::function<QString(const QString&)> chooseOpenFile;
    std::function<QString(const QString&)> chooseSaveFile;

    QString currentFile() const { return current_; }
    QStringList recentFiles() const { return recent_; }

signals:
    // A setup was opened or saved: its absolute path.
    void currentFileChanged(const QString& path);
    // The protocol was chosen in its dialog or by a setup opened.
    void protocolChanged();

private:
    FrmProtocol& ProtocolDialog();
    void NoteRecent(const QString& path);
    void ShowRecent();
    void LoadRecent();
    void StoreRecent() const;

    Parts parts_;
    FrmProtocol* protocolDialog_ = nullptr;
    QWidget* dialogParent_;
    QMenu* menu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QString current_;
    QStringList recent_;
};

} // namespace quorvane
