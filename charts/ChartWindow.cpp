#include "ChartWindow.h"

#include "ChartCsv.h"
#include "ChartFeed.h"
#include "ChartView.h"
#include "FieldDialog.h"
#include "HistogramPane.h"
#include "ResponsePane.h"
#include "RunSummary.h"
#include "ThroughputPane.h"
#include "ValuesPane.h"

#include <QAction>
#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#ifdef QUORVANE_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace quorvane {

namespace {

constexpr int kTickMs = 100; // at most ten redraws a second
constexpr int kMostPostponed = 10; // a busy line delays a redraw by a second at most

const char* const kPaneCaptions[] = {"响应时间", "分布", "接收速率", "数值"};
const char* const kPaneItems[] = {"paneResponse", "paneHistogram", "paneThroughput", "paneValues"};

std::array<bool, 4> Shows(const ChartChoices& c)
{
    return {c.response, c.histogram, c.throughput, c.values};
}

Message Problem(const QString& text)
{
    return {text.toStdString(), "提示", MessageIcon::Warning, {}};
}

QString Proposed(const char* suffix)
{
    return QDir::home().filePath(QDateTime::currentDateTime().toString(
        QStringLiteral("'quorvane-chart-'yyyyMMdd-hhmmss'.%1'").arg(QLatin1String(suffix))));
}

} // namespace

ChartWindow::ChartWindow(ChartFeed& feed, const ChartChoices& panes, Tell tell, QWidget* parent)
    : QMainWindow(parent), feed_(feed), tell_(std::move(tell)), response_(new ResponsePane),
      values_(new ValuesPane), splitter_(new QSplitter(Qt::Vertical)), status_(new QLabel)
{
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("图表"));
    setWindowFlag(Qt::Window);
    panes_ = {response_, new HistogramPane, new ThroughputPane, values_};
    splitter_->setObjectName(QStringLiteral("chartPanes"));
    splitter_->setChildrenCollapsible(false);
    for (ChartPane* pane : panes_) {
        splitter_->addWidget(pane->view());
        connect(pane->view(), &ChartView::viewChanged, this, [this] { viewMoved_ = true; });
    }
    setCentralWidget(splitter_);
    buildToolBar();
    status_->setObjectName(QStringLiteral("chartStatus"));
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);
    showPanes(panes);

    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &ChartWindow::Tick);
    connect(&feed_, &ChartFeed::runStarted, this, &ChartWindow::RunStarted);
    // Four panes fit a 1366 x 768 screen.
    resize(900, 700);
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::buildToolBar()
{
    QToolBar* bar = addToolBar(QStringLiteral("图表"));
    bar->setObjectName(QStringLiteral("chartTools"));
    bar->setMovable(false);
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        QAction* item = bar->addAction(QString::fromUtf8(kPaneCaptions[i]));
        item->setObjectName(QString::fromLatin1(kPaneItems[i]));
        item->setCheckable(true);
        connect(item, &QAction::toggled, this, &ChartWindow::PaneToggled);
        paneItems_[i] = item;
    }
    bar->addSeparator();
    pause_ = bar->addAction(QStringLiteral("暂停"));
    pause_->setObjectName(QStringLiteral("chartPause"));
    pause_->setCheckable(true);
    connect(pause_, &QAction::toggled, this, &ChartWindow::Pause_Toggled);
    QAction* reset = bar->addAction(QStringLiteral("复位"));
    reset->setObjectName(QStringLiteral("chartReset"));
    reset->setToolTip(QStringLiteral("复位：显示整个过程并跟随"));
    connect(reset, &QAction::triggered, this, &ChartWindow::Reset_Click);
    bar->addSeparator();
    QAction* fields = bar->addAction(QStringLiteral("字段..."));
    fields->setObjectName(QStringLiteral("chartFields"));
    connect(fields, &QAction::triggered, this, &ChartWindow::Fields_Click);
    QAction* image = bar->addAction(QStringLiteral("导出图片..."));
    image->setObjectName(QStringLiteral("exportImage"));
    connect(image, &QAction::triggered, this, &ChartWindow::ExportImage_Click);
    QAction* data = bar->addAction(QStringLiteral("导出数据..."));
    data->setObjectName(QStringLiteral("exportData"));
    connect(data, &QAction::triggered, this, &ChartWindow::ExportData_Click);
}

void ChartWindow::showAndRaise()
{
    show();
    raise();
    activateWindow();
}

ChartChoices ChartWindow::panes() const
{
    ChartChoices c;
    c.response = paneItems_[0]->isChecked();
    c.histogram = paneItems_[1]->isChecked();
    c.throughput = paneItems_[2]->isChecked();
    c.values = paneItems_[3]->isChecked();
    return c;
}

void ChartWindow::showPanes(const ChartChoices& panes)
{
    const std::array<bool, 4> shows = Shows(panes);
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        const QSignalBlocker quiet(paneItems_[i]);
        paneItems_[i]->setChecked(shows[i]);
        panes_[i]->view()->setVisible(shows[i]);
    }
    ShareHeight();
    viewMoved_ = true;
}

void ChartWindow::ShareHeight()
{
    QList<int> heights;
    for (const ChartPane* pane : panes_) {
        heights << (pane->view()->isHidden() ? 0 : 1000);
    }
    splitter_->setSizes(heights);
}

void ChartWindow::PaneToggled()
{
    const ChartChoices shown = panes();
    const std::array<bool, 4> shows = Shows(shown);
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        panes_[i]->view()->setVisible(shows[i]);
    }
    ShareHeight();
    viewMoved_ = true;
    emit panesChanged(shown);
}

bool ChartWindow::paused() const
{
    return pause_->isChecked();
}

void ChartWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    tick_.start();
    Redraw();
}

void ChartWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    tick_.stop();
}

// Paused, the panes hold what they show, but still follow the user's zoom.
// A redraw holds the event loop for a few milliseconds: while a frame waits
// for its answer it would delay the answer's read, so it waits for a moment
// the line leaves free.
void ChartWindow::Tick()
{
    const bool changed = feed_.points().changes() != drawn_;
    if (!viewMoved_ && (!changed || paused())) {
        return;
    }
    if (feed_.lineBusy() && ++postponed_ < kMostPostponed) {
        return;
    }
    Redraw();
}

void ChartWindow::Redraw()
{
    // Posted events are delivered below; one of them may open a message box
    // whose loop ticks again: that redraw waits for this one to end.
    if (drawing_) {
        return;
    }
    const QScopedValueRollback drawing(drawing_, true);
    feed_.Settle();
    for (ChartPane* pane : panes_) {
        if (!pane->view()->isHidden()) {
            pane->Draw(feed_);
        }
    }
    drawn_ = feed_.points().changes();
    viewMoved_ = false;
    postponed_ = 0;
    ShowStatus();
    // Painted now, not at some later turn of the event loop, which may come
    // while a frame waits for its answer.
    if (isVisible()) {
        QCoreApplication::sendPostedEvents(); // the charts take their new points
        for (ChartPane* pane : panes_) {
            if (!pane->view()->isHidden()) {
                pane->view()->viewport()->repaint();
            }
        }
        status_->repaint();
    }
}

void ChartWindow::ShowStatus()
{
    const RunPoints& points = feed_.points();
    QString text = QStringLiteral("接收 %1  超时 %2")
                       .arg(points.receptionCount())
                       .arg(points.timeoutCount());
    if (points.dropped() > 0) {
        text += QStringLiteral("  已丢弃最早的 %1 点").arg(points.dropped());
    }
    QStringList missing;
    for (std::size_t f = 0; f < points.fieldCount() && f < feed_.fields().size(); ++f) {
        if (points.missing(f) > 0) {
            missing << QStringLiteral("%1 %2").arg(QString::fromStdString(feed_.fields()[f].name))
                           .arg(points.missing(f));
        }
    }
    if (!missing.isEmpty()) {
        text += QStringLiteral("  无值: ") + missing.join(QStringLiteral(", "));
    }
    if (paused()) {
        text += QStringLiteral("  (已暂停)");
    }
    status_->setText(text);
    status_->setAccessibleName(text);
}

void ChartWindow::RunStarted()
{
    for (ChartPane* pane : panes_) {
        pane->view()->Follow();
    }
}

void ChartWindow::Pause_Toggled(bool)
{
    viewMoved_ = true; // the status says it at once
}

void ChartWindow::Reset_Click()
{
    for (ChartPane* pane : panes_) {
        pane->view()->Follow();
    }
}

void ChartWindow::Fields_Click()
{
    auto* dialog = new FieldDialog(feed_.fields(), tell_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &FieldDialog::fieldsChosen, this, [this](const std::vector<ReplyField>& fields) {
        feed_.setFields(fields);
        viewMoved_ = true;
    });
    dialog->open();
}

QString ChartWindow::ChooseFile(const QString& title, const QString& proposed, const QString& filter)
{
    return chooseSaveFile ? chooseSaveFile(title, proposed, filter)
                          : QFileDialog::getSaveFileName(this, title, proposed, filter);
}

QString ChartWindow::ExportTitle() const
{
    QStringList parts;
    if (describeRun) {
        parts << describeRun();
    }
    parts << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
          << QStringLiteral("%1 帧").arg(feed_.summary().Counts().framesWritten);
    return parts.join(QStringLiteral("  "));
}

QSize ChartWindow::ExportSize() const
{
    int height = 2 * fontMetrics().height();
    for (const ChartPane* pane : panes_) {
        if (!pane->view()->isHidden()) {
            height += pane->view()->height();
        }
    }
    return {splitter_->width(), height};
}

void ChartWindow::PaintExport(QPainter& painter, const QString& title) const
{
    const QSize size = ExportSize();
    painter.fillRect(QRect(QPoint(), size), Qt::white);
    const int line = 2 * fontMetrics().height();
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(QRect(8, 0, size.width() - 16, line), Qt::AlignLeft | Qt::AlignVCenter, title);
    int y = line;
    for (const ChartPane* pane : panes_) {
        if (!pane->view()->isHidden()) {
            pane->view()->QWidget::render(&painter, QPoint(0, y), QRegion(),
                                          QWidget::DrawWindowBackground | QWidget::DrawChildren);
            y += pane->view()->height();
        }
    }
}

bool ChartWindow::ExportImage(const QString& path)
{
    bool written = false;
    const QString title = ExportTitle();
    const QSize size = ExportSize();
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
#ifdef QUORVANE_HAVE_SVG
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setTitle(title);
        QPainter painter;
        if (painter.begin(&svg)) {
            PaintExport(painter, title);
            written = painter.end() && QFileInfo(path).size() > 0;
        }
#endif
    } else {
        const qreal ratio = devicePixelRatioF();
        QImage image(size * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        PaintExport(painter, title);
        painter.end();
        written = image.save(path, "PNG");
    }
    if (!written) {
        tell_(Problem(QStringLiteral("无法导出图片: %1").arg(path)));
    }
    return written;
}

bool ChartWindow::ExportData(const QString& path)
{
    feed_.Settle();
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         WriteChartCsv(feed_.points(), feed_.fields(), file) && file.commit();
    if (!written) {
        tell_(Problem(QStringLiteral("无法导出数据: %1").arg(path)));
    }
    return written;
}

void ChartWindow::ExportImage_Click()
{
    QString filter = QStringLiteral("PNG 图片 (*.png)");
#ifdef QUORVANE_HAVE_SVG
    filter += QStringLiteral(";;SVG 图片 (*.svg)");
#endif
    QString path = ChooseFile(QStringLiteral("导出图片"), Proposed("png"), filter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".png");
    }
    if (!paused()) {
        Redraw(); // the picture shows the run as it stands
    }
    ExportImage(path);
}

void ChartWindow::ExportData_Click()
{
    QString path = ChooseFile(QStringLiteral("导出数据"), Proposed("csv"),
                              QStringLiteral("CSV 文件 (*.csv);;所有文件 (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".csv");
    }
    ExportData(path);
}

} // namespace quorvane
