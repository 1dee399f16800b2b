#include "LinePanel.h"

#include "LatencyTimer.h"
#include "PortPath.h"
#include "SerialPort.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QTextDocumentFragment>

#include <cstdlib>
#include <functional>
#include <utility>
#include <string>

namespace quorvane {

namespace {

constexpr int kPollMs = 100;
constexpr int kReconnectedShownMs = 3000;
constexpr int kBoldAllowance = 6;
const QString kDtr = QStringLiteral("DTR");
const QString kRts = QStringLiteral("RTS");

QString Dot(bool on)
{
    return on ? QStringLiteral("●") : QStringLiteral("○");
}

// A line name lit when asserted and grey when not.
QString Lit(const QString& name, bool on)
{
    return (on ? QStringLiteral("<b>%1</b>") : QStringLiteral("<span style=\"color:#999\">%1</span>"))
        .arg(name);
}

// The four input lines, each named and marked by `mark`; "—" on a port
// without them.
QString LinesText(const SerialPort::ModemLines& lines,
                  const std::function<QString(const QString&, bool)>& mark)
{
    if (!lines.known) {
        return QStringLiteral("—");
    }
    const std::pair<const char*, bool> states[] = {
        {"CTS", lines.cts}, {"DSR", lines.dsr}, {"DCD", lines.dcd}, {"RI", lines.ri}};
    QStringList words;
    for (const auto& [name, on] : states) {
        words << mark(QString::fromLatin1(name), on);
    }
    return words.join(u' ');
}

// "CTS●" asserted, "CTS○" not.
QString FullLines(const SerialPort::ModemLines& lines)
{
    return LinesText(lines, [](const QString& name, bool on) { return name + Dot(on); });
}

QString ShortLines(const SerialPort::ModemLines& lines)
{
    return LinesText(lines, Lit);
}

// An output line as the user set it, a link that switches it; RTS that the
// driver drives (RTS/CTS, RS-485) is shown as the driver's, without a link.
QString OutputLine(const QString& name, bool on, bool drivers)
{
    if (drivers) {
        return QStringLiteral("<span style=\"color:#999\">%1</span>").arg(name);
    }
    return QStringLiteral("<a href=\"%1\" style=\"text-decoration:none;color:%2\">%3</a>")
        .arg(name, on ? QStringLiteral("#000") : QStringLiteral("#999"),
             on ? QStringLiteral("<b>%1</b>").arg(name) : name);
}

QString Coloured(const QString& text, const char* colour)
{
    return QStringLiteral("<span style=\"color:%1\">%2</span>")
        .arg(QLatin1String(colour), text.toHtmlEscaped());
}

} // namespace

QString SettingsAsSet(const std::string& settings, unsigned rateSet)
{
    const QString text = QString::fromStdString(settings);
    const qsizetype comma = text.indexOf(u',');
    const unsigned asked = text.left(comma).toUInt();
    if (rateSet == 0 || asked == 0) {
        return text;
    }
    const double off = std::abs(static_cast<double>(rateSet) - asked) / asked;
    if (off <= 0.02) {
        return text;
    }
    return text.left(comma) + QStringLiteral("→") + QString::number(rateSet) +
           (comma < 0 ? QString() : text.mid(comma));
}

LinePanel::LinePanel(SerialPort& port, QWidget* parent)
    : StatusPanel(QStringLiteral("LinePanel"), QStringLiteral("串口设备与线路"), parent),
      port_(port)
{
    setTextFormat(Qt::RichText);
    // Clicked with the mouse; keyboard users have the menu items, screen
    // readers the panel's actions, so the tab order stays as it is.
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QLabel::linkActivated, this, &LinePanel::outputLineClicked);
    setPanelActions({kDtr, kRts}, [this](const QString& line) {
        if (port_.PortOpen() && (line == kDtr || !rtsIsTheDrivers())) {
            emit outputLineClicked(line);
        }
    });
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &LinePanel::refresh);
    reconnectedShown_.setSingleShot(true);
    reconnectedShown_.setInterval(kReconnectedShownMs);
    connect(&reconnectedShown_, &QTimer::timeout, this, [this] { showLink(Link::Normal); });
    connect(&port_, &SerialPort::openChanged, this, &LinePanel::portOpenChanged);
    portOpenChanged(port_.PortOpen());
}

void LinePanel::showLink(Link link)
{
    link_ = link;
    if (link == Link::Reconnected) {
        reconnectedShown_.start();
    } else {
        reconnectedShown_.stop();
    }
    refresh();
}

void LinePanel::portOpenChanged(bool open)
{
    if (open) {
        // Any opening ends what a loss showed; a reconnection says so itself.
        if (link_ == Link::Lost || link_ == Link::Waiting) {
            link_ = Link::Normal;
        }
        readAdapterLatency();
        poll_.start();
    } else {
        poll_.stop();
        if (link_ == Link::Reconnected) {
            link_ = Link::Normal;
        }
    }
    refresh();
}

bool LinePanel::rtsIsTheDrivers() const
{
    return port_.handshaking() == SerialPort::Handshaking::RtsCts || port_.Rs485Held().has_value();
}

std::string LinePanel::devicePath() const
{
    const std::string path = port_.DevicePath();
    return path.empty() ? ComDevicePath(port_.CommPort()) : path;
}

void LinePanel::readAdapterLatency()
{
    const std::optional<int> latency = LatencyTimer(CurrentSystemFolders()).Read(devicePath());
    if (latency != latency_) {
        latency_ = latency;
        emit adapterLatencyChanged();
    }
    refresh();
}

void LinePanel::refreshClosed()
{
    const QString port = QStringLiteral("COM%1 ").arg(port_.CommPort());
    switch (link_) {
    case Link::Lost:
        forms_.clear();
        setPanelTexts(Coloured(port + QStringLiteral("已断开"), "#c00"), port + QStringLiteral("已断开"));
        setToolTipNote({});
        return;
    case Link::Waiting:
        forms_.clear();
        setPanelTexts(Coloured(port + QStringLiteral("等待重新连接…"), "#c60"),
                      port + QStringLiteral("等待重新连接…"));
        setToolTipNote({});
        return;
    case Link::Normal:
    case Link::Reconnected:
        break;
    }
    forms_.clear();
    setPanelTexts({}, {});
    setToolTipNote({});
}

void LinePanel::refresh()
{
    if (!port_.PortOpen()) {
        refreshClosed();
        return;
    }
    const SerialPort::ModemLines lines = port_.lastModemLines();
    // What the driver or the port server holds; a raw network pipe holds none.
    const std::string inForce = port_.SettingsInForce();
    const QString settings = inForce.empty()
                                 ? QString::fromStdString(port_.Settings()) + QStringLiteral("(未应用)")
                                 : SettingsAsSet(inForce, port_.BaudRate());
    const QString device = QString::fromStdString(devicePath());
    const bool rtsDrivers = rtsIsTheDrivers();
    QString full = device + u' ' + settings;
    QString shown = settings.toHtmlEscaped();
    if (const auto rs485 = port_.Rs485Held()) {
        full += QStringLiteral("  ") + QString::fromStdString(Rs485Text(*rs485));
        shown += QStringLiteral(" RS-485");
    }
    full += QStringLiteral("  DTR") + Dot(port_.DTREnable()) + QStringLiteral(" RTS") +
            (rtsDrivers ? QStringLiteral("(驱动)") : Dot(port_.RTSEnable())) + QStringLiteral("  ") +
            FullLines(lines);
    const QString outputs = u' ' + OutputLine(kDtr, port_.DTREnable(), false) + u' ' +
                            OutputLine(kRts, port_.RTSEnable(), rtsDrivers);
    const QString inputs = QStringLiteral(" | ") + ShortLines(lines);
    if (const std::uint64_t flawed = port_.FlawedSinceOpen(); flawed > 0) {
        full += QStringLiteral("  奇偶校验错误 ×%1").arg(flawed);
    }
    QString back;
    if (link_ == Link::Reconnected) {
        const QString note = QStringLiteral("COM%1 已重新连接").arg(port_.CommPort());
        full = note + QStringLiteral("  ") + full;
        back = Coloured(note, "#080") + u' ';
    }
    // Where the row is narrow the input lines give way first, then RS-485,
    // then the output lines; the settings stay.
    forms_ = {back + shown + outputs + inputs, back + shown + outputs,
              back + settings.toHtmlEscaped() + outputs, back + settings.toHtmlEscaped()};
    fullWords_ = full;
    setToolTipNote(latency_ ? QStringLiteral("USB 适配器延迟 %1 ms（latency_timer）").arg(*latency_)
                            : QString());
    showFittingForm();
}

void LinePanel::showFittingForm()
{
    if (forms_.isEmpty()) {
        return;
    }
    const int room = contentsRect().width();
    const QFontMetrics metrics(font());
    for (const QString& form : forms_) {
        // Bold letters are a little wider than the plain text measured.
        const QString plain = QTextDocumentFragment::fromHtml(form).toPlainText();
        if (metrics.horizontalAdvance(plain) + kBoldAllowance <= room || &form == &forms_.back()) {
            setPanelTexts(form, fullWords_);
            return;
        }
    }
}

void LinePanel::resizeEvent(QResizeEvent* event)
{
    StatusPanel::resizeEvent(event);
    showFittingForm();
}

QSize LinePanel::minimumSizeHint() const
{
    return {0, StatusPanel::minimumSizeHint().height()};
}

} // namespace quorvane
