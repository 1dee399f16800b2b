// The chart against quorvane-device: a run of frames puts one response-time
// point per frame on 图表, and its export reads back as CSV and PNG.
#include "ChartView.h"
#include "ChartWindow.h"
#include "DeviceWindowTest.h"
#include "LineEngine.h"
#include "ResponsePane.h"
#include "RunSummary.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QValueAxis>

namespace quorvane
{
namespace
{

using Chart = DeviceWindowTest;

TEST_F(Chart, ARunOfFramesGivesOnePointPerFrame)
{
    constexpr int kFrames = 20;
    start({"echo", "--delay", "5"});
    find<QPlainTextEdit>("txtSend")->setPlainText("1 2 3");
    const RunSummary& summary = window->engine().summary();
    for (int i = 1; i <= kFrames; ++i) {
        find<QPushButton>("cmdSend")->click();
        ASSERT_TRUE(WaitUntil([&] { return summary.Counts().replies == std::uint64_t(i); }, 5000))
            << "no echo of frame " << i;
        // The whole echo is in before the next frame ends the reception.
        ASSERT_TRUE(WaitUntil([&] { return !window->engine().receiving(); }, 5000));
    }

    window->findChild<QAction*>(QStringLiteral("Chart"))->trigger();
    auto* chart = window->findChild<ChartWindow*>(QStringLiteral("frmChart"));
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart));
    chart->Redraw();
    const QList<QPointF> points = chart->responsePane()->responses()->points();
    ASSERT_EQ(points.size(), kFrames);
    for (int i = 0; i < kFrames; ++i) {
        EXPECT_EQ(points[i].x(), i + 1);
        EXPECT_GT(points[i].y(), 0);
    }
    EXPECT_TRUE(chart->responsePane()->timeouts()->points().isEmpty());

    QTemporaryDir dir;
    chart->chooseSaveFile = [&dir](const QString&, const QString& proposed, const QString&) {
        return dir.filePath(proposed.endsWith(QStringLiteral(".csv")) ? QStringLiteral("run")
                                                                      : QStringLiteral("run.png"));
    };
    chart->findChild<QAction*>(QStringLiteral("exportData"))->trigger();
    chart->findChild<QAction*>(QStringLiteral("exportImage"))->trigger();
    EXPECT_TRUE(recorder.messages().empty());

    QFile csv(dir.filePath(QStringLiteral("run.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    ASSERT_TRUE(text.startsWith("\xEF\xBB\xBF")) << "UTF-8 with a byte-order mark";
    const QStringList rows =
        QString::fromUtf8(text.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), kFrames + 1);
    EXPECT_EQ(rows[0], QStringLiteral("时间(s),帧号,响应(ms)"));
    for (int i = 1; i <= kFrames; ++i) {
        const QStringList cells = rows[i].split(u',');
        ASSERT_EQ(cells.size(), 3) << rows[i].toStdString();
        EXPECT_EQ(cells[1].toInt(), i);
        EXPECT_DOUBLE_EQ(cells[2].toDouble(), std::round(points[i - 1].y() * 1000) / 1000)
            << "the drawn point and the exported one";
    }
    EXPECT_FALSE(QImage(dir.filePath(QStringLiteral("run.png"))).isNull());

    // A picture names its run in a line above the panes.
    const QString svg = dir.filePath(QStringLiteral("run.svg"));
    if (chart->ExportImage(svg)) {
        QFile file(svg);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString picture = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(picture.contains(QStringLiteral("COM2 ")) && picture.contains(QStringLiteral("20 帧")))
            << "no title line";
    }
    // However far the frame axis is zoomed, its ticks stay on whole frames.
    ChartView* view = chart->responsePane()->view();
    view->ZoomAround(0.05, view->width() / 2.0);
    QValueAxis* frames = chart->responsePane()->xAxis();
    EXPECT_GE(frames->tickInterval(), 1.0);
    EXPECT_EQ(frames->tickAnchor(), std::round(frames->tickAnchor()));
    EXPECT_EQ(frames->tickInterval(), std::round(frames->tickInterval()));
}

} // namespace
} // namespace quorvane
