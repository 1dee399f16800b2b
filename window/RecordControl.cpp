#include "RecordControl.h"

#include "MessageSeam.h"
#include "PortPath.h"
#include "RecordFormatMenu.h"
#include "SerialPort.h"
#include "SessionRecord.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>

namespace quorvane {

RecordControl::RecordControl(Parts parts, QObject* parent) : QObject(parent), parts_(parts)
{
    connect(&parts_.item, &QAction::toggled, this, &RecordControl::LogToFile_Toggled);
    // Shown from the event loop, not from inside the handler that wrote.
    connect(&parts_.record, &SessionRecord::failed, this, &RecordControl::RecordFailed,
            Qt::QueuedConnection);
    connect(&parts_.port, &SerialPort::openChanged, this, &RecordControl::PortOpenChanged);
}

void RecordControl::ShowRecording(bool on)
{
    const QSignalBlocker quiet(&parts_.item);
    parts_.item.setChecked(on);
    parts_.format.RecordingChanged(on);
}

void RecordControl::LogToFile_Toggled(bool on)
{
    if (!on) {
        parts_.record.stop();
        parts_.format.RecordingChanged(false);
        return;
    }
    ShowRecording(false); // checked again once a file records
    const bool csv = parts_.record.format() == RecordFormat::Csv;
    const QString proposed = QDir::home().filePath(QDateTime::currentDateTime().toString(
        csv ? QStringLiteral("'quorvane-'yyyyMMdd-hhmmss'.csv'")
            : QStringLiteral("'quorvane-'yyyyMMdd-hhmmss'.log'")));
    const QString filter = csv ? QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)")
                               : QStringLiteral("记录文件 (*.log);;所有文件 (*)");
    const QString path = chooseFile_
                             ? chooseFile_(proposed)
                             : QFileDialog::getSaveFileName(
                                   parts_.window, QStringLiteral("记录到文件"), proposed, filter,
                                   nullptr, QFileDialog::DontConfirmOverwrite); // lines are appended
    if (!path.isEmpty()) {
        StartRecord(path);
    }
}

bool RecordControl::StartRecord(const QString& path)
{
    if (!parts_.record.start(path)) {
        ShowRecording(false);
        MessageSeam::instance().show(MessageId::RecordOpenFailed);
        return false;
    }
    ShowRecording(true);
    if (parts_.port.PortOpen()) {
        PortOpenChanged(true); // the record starts with the port as it is
    }
    return true;
}

void RecordControl::RecordFailed()
{
    ShowRecording(false);
    MessageSeam::instance().show(MessageId::RecordWriteFailed);
}

void RecordControl::PortOpenChanged(bool open)
{
    const SerialPort& p = parts_.port;
    const std::string port = "COM" + std::to_string(p.CommPort());
    if (open) {
        const std::string path =
            p.DevicePath().empty() ? ComDevicePath(p.CommPort()) : p.DevicePath();
        parts_.record.note(RecordEvent::PortOpened, {}, port + " " + path + " " + p.Settings());
    } else {
        parts_.record.note(RecordEvent::PortClosed, {}, port);
    }
}

} // namespace quorvane
