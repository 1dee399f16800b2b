#include "LinePanel.h"

#include "PortPath.h"
#include "SerialPort.h"

#include <cstdlib>
#include <functional>
#include <utility>
#include <string>

namespace quorvane {

namespace {

constexpr int kPollMs = 100;

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
    return LinesText(lines, [](const QString& name, bool on) {
        return name + (on ? QStringLiteral("●") : QStringLiteral("○"));
    });
}

// The line names, lit when asserted and grey when not.
QString ShortLines(const SerialPort::ModemLines& lines)
{
    return LinesText(lines, [](const QString& name, bool on) {
        return (on ? QStringLiteral("<b>%1</b>") : QStringLiteral("<span style=\"color:#999\">%1</span>"))
            .arg(name);
    });
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
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &LinePanel::refresh);
    connect(&port_, &SerialPort::openChanged, this, &LinePanel::portOpenChanged);
    portOpenChanged(port_.PortOpen());
}

void LinePanel::portOpenChanged(bool open)
{
    if (open) {
        poll_.start();
    } else {
        poll_.stop();
    }
    refresh();
}

void LinePanel::refresh()
{
    if (!port_.PortOpen()) {
        setPanelTexts({}, {});
        return;
    }
    const SerialPort::ModemLines lines = port_.lastModemLines();
    const QString settings = SettingsAsSet(port_.Settings(), port_.BaudRate());
    const QString device = QString::fromStdString(ComDevicePath(port_.CommPort()));
    QString full = device + u' ' + settings + QStringLiteral("  ") + FullLines(lines);
    if (const std::uint64_t flawed = port_.FlawedSinceOpen(); flawed > 0) {
        full += QStringLiteral("  奇偶校验错误 ×%1").arg(flawed);
    }
    setPanelTexts(settings.toHtmlEscaped() + u' ' + ShortLines(lines), full);
}

} // namespace quorvane
