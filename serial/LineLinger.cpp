#include "LineLinger.h"

#include "TerminalDevice.h"

#include <QCoreApplication>

#include <algorithm>
#include <termios.h>
#include <vector>

using namespace std::chrono_literals;

namespace quorvane {

namespace {

// The lingers of this process; all live on the application's thread.
std::vector<LineLinger*>& Lingers()
{
    static std::vector<LineLinger*> lingers;
    return lingers;
}

} // namespace

LineLinger::LineLinger(int fd, std::unique_ptr<FrameWriter> writer, std::chrono::milliseconds limit)
    : QObject(QCoreApplication::instance()), fd_(fd), device_(TerminalNumber(fd)),
      writer_(std::move(writer)), deadline_(std::chrono::steady_clock::now() + limit)
{
    Lingers().push_back(this);
    connect(writer_.get(), &FrameWriter::drained, this, [this] { letGo(false); });
    connect(writer_.get(), &FrameWriter::hungUp, this, [this] { letGo(false); });
    // Time is up: the line does not carry the frame (flow control holds it,
    // nobody reads a pseudo-terminal).
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] { letGo(true); });
    limit_.start(limit);
    if (!writer_->frameOnItsWay()) {
        QTimer::singleShot(0, this, [this] { letGo(false); });
    }
}

LineLinger::~LineLinger()
{
    std::erase(Lingers(), this);
    if (holding()) {
        disconnect(writer_.get(), nullptr, this, nullptr);
        // The program has already waited for it (up to 5 s): what a slow
        // line still owes gets one second more, not its whole time.
        writer_->finishBefore(std::min(deadline_, std::chrono::steady_clock::now() + 1s));
        release(writer_->frameOnItsWay());
    }
}

void LineLinger::cutShort()
{
    letGo(true);
}

void LineLinger::CutShortOn(dev_t device)
{
    if (device == 0) {
        return;
    }
    const std::vector<LineLinger*> lingers = Lingers();
    for (LineLinger* linger : lingers) {
        if (linger->holding() && linger->device_ == device) {
            linger->cutShort();
        }
    }
}

void LineLinger::letGo(bool flushDriver)
{
    if (!holding()) {
        return;
    }
    release(flushDriver);
    emit finished();
    deleteLater();
}

void LineLinger::release(bool flushDriver)
{
    limit_.stop();
    writer_->stop();
    if (flushDriver) {
        tcflush(fd_, TCOFLUSH);
    }
    ReleaseTerminal(fd_, writer_->control());
    fd_ = -1;
}

} // namespace quorvane
