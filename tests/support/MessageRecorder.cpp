#include "MessageRecorder.h"

#include "MessageSeam.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace quorvane
{

MessageRecorder::MessageRecorder()
{
    MessageSeam::instance().setRecorder([this](const Message& m) {
        messages_.push_back(m);
        if (whileOpen_) {
            whileOpen_(m);
        }
    });
}

MessageRecorder::~MessageRecorder()
{
    MessageSeam::instance().setRecorder({});
}

std::vector<std::string> MessageRecorder::texts() const
{
    std::vector<std::string> out;
    for (const Message& m : messages_) {
        out.push_back(m.text);
    }
    return out;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void SpinFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

} // namespace quorvane
