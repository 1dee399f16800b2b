#include "DeviceProcess.h"

#include <QDeadlineTimer>
#include <csignal>
#include <sys/prctl.h>

namespace quorvane
{

DeviceProcess::~DeviceProcess()
{
    stop();
}

bool DeviceProcess::start(const QStringList& arguments)
{
    const QString program = qEnvironmentVariable("QUORVANE_DEVICE_BIN");
    if (program.isEmpty()) {
        return false;
    }
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // The device ends with the test, even when the test dies on an assertion.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(program, arguments);
    if (!process_.waitForStarted(5000)) {
        return false;
    }
    QDeadlineTimer deadline(5000);
    while (!process_.canReadLine() && !deadline.hasExpired()) {
        process_.waitForReadyRead(100);
    }
    if (!process_.canReadLine()) {
        return false;
    }
    path_ = QString::fromUtf8(process_.readLine()).trimmed();
    return !path_.isEmpty();
}

ByteList DeviceProcess::received()
{
    process_.waitForReadyRead(0);
    log_ += process_.readAllStandardOutput();
    // Only whole lines: the last one may still be on its way.
    const QByteArray complete = log_.left(log_.lastIndexOf('\n') + 1);
    ByteList bytes;
    for (const QByteArray& line : complete.split('\n')) {
        const int rx = line.indexOf(" RX ");
        if (rx < 0) {
            continue;
        }
        for (const QByteArray& hex : line.mid(rx + 4).trimmed().split(' ')) {
            bool ok = false;
            const int value = hex.toInt(&ok, 16);
            if (ok) {
                bytes.push_back(static_cast<std::uint8_t>(value));
            }
        }
    }
    return bytes;
}

QString DeviceProcess::log()
{
    process_.waitForReadyRead(0);
    log_ += process_.readAllStandardOutput();
    return QString::fromUtf8(log_);
}

void DeviceProcess::stop()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
}

bool DeviceProcess::waitForEnd(int ms)
{
    if (!process_.waitForFinished(ms)) {
        return false;
    }
    log_ += process_.readAllStandardOutput();
    return true;
}

} // namespace quorvane
