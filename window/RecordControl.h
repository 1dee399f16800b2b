#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QWidget;

namespace quorvane {

class RecordFormatMenu;
class SerialPort;
class SessionRecord;

// "记录到文件..." in 记录(L): asks for the record's file and starts the
// session record on it, or stops it; the item is checked while a file
// records. A file that cannot be opened or written is told in a message box
// and the item is unchecked. The port's openings and closings go into the
// record, and a record started on an open port begins with the port as it is.
class RecordControl : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SessionRecord& record;
        SerialPort& port;
        QAction& item; // "记录到文件..."
        RecordFormatMenu& format;
        QWidget* window; // the file dialog's owner
    };

    RecordControl(Parts parts, QObject* parent = nullptr);

    // Starts appending to the file at path, as the item does after its file
    // dialog. False, after the message box, when the file cannot be opened.
    bool StartRecord(const QString& path);
    // Asks for the record's file, given the proposed one; empty when the
    // user cancels. A file dialog unless a test replaces it.
    void setFileChooser(std::function<QString(const QString&)> chooser)
    {
        chooseFile_ = std::move(chooser);
    }

private:
    void LogToFile_Toggled(bool on);
    void RecordFailed();
    void PortOpenChanged(bool open);
    void ShowRecording(bool on);

    Parts parts_;
    std::function<QString(const QString&)> chooseFile_;
};

} // namespace quorvane
