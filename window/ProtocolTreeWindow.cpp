#include "ProtocolTreeWindow.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "HexWords.h"
#include "LineEngine.h"
#include "ProtocolText.h"
#include "SharedSettings.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

namespace quorvane {

namespace {

// A selection longer than this is no frame of any protocol: its text is not
// even fetched from the view (hex pairs, blanks and line breaks of the
// longest frame fit well within it).
constexpr std::uint64_t kMostSelectionText = 4 * kMostProtocolFrame + 256;
// Receptions coming close together are shown once, at most this often.
constexpr int kRebuildMs = 100;

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

QString VerdictWords(const ReplyCheckResult& check)
{
    QString words = Text(ReplyCheckText(check)).trimmed();
    if (words.startsWith(QLatin1Char('[')) && words.endsWith(QLatin1Char(']'))) {
        words = words.mid(1, words.size() - 2);
    }
    return words;
}

SelectedBytes ReadSelectedHex(const QString& text)
{
    SelectedBytes out;
    std::string utf8 = text.toStdString();
    std::replace(utf8.begin(), utf8.end(), '\r', ' ');
    std::replace(utf8.begin(), utf8.end(), '\n', ' ');
    for (std::string_view word : BlankSeparatedWords(utf8)) {
        const std::optional<std::uint8_t> byte = HexByteWord(word);
        if (!byte) {
            out.bytes.clear();
            out.problem = QStringLiteral("所选内容不是十六进制字节: ") + Text(std::string(word));
            return out;
        }
        out.bytes.push_back(*byte);
    }
    if (out.bytes.empty()) {
        out.problem = QStringLiteral("接收区未选择字节");
    }
    return out;
}

ProtocolTreeWindow::ProtocolTreeWindow(QWidget* receiveView, QWidget* parent)
    : QDialog(parent), receiveView_(receiveView)
{
    setObjectName(QStringLiteral("ProtocolTree"));
    setWindowTitle(QStringLiteral("解析"));
    setAccessibleName(QStringLiteral("解析"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(false);
    resize(460, 340);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("ProtocolTreeNote"));
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("ProtocolTreeView"));
    tree_->setAccessibleName(QStringLiteral("解析结果"));
    tree_->setColumnCount(3);
    tree_->setHeaderLabels({QStringLiteral("字段"), QStringLiteral("字节"), QStringLiteral("值")});
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->header()->setStretchLastSection(true);
    tree_->setColumnWidth(0, 130);
    tree_->setColumnWidth(1, 150);

    auto makeButton = [this](const QString& caption, const QString& name) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    cmdSelection_ = makeButton(QStringLiteral("解析所选"), QStringLiteral("cmdParseSelection"));
    cmdSelection_->setToolTip(QStringLiteral("按协议解析接收区中选中的十六进制字节"));
    cmdLatest_ = makeButton(QStringLiteral("最新接收"), QStringLiteral("cmdParseLatest"));
    cmdLatest_->setToolTip(QStringLiteral("回到最新一次接收的解析"));
    cmdCopy_ = makeButton(QStringLiteral("复制"), QStringLiteral("cmdCopyTree"));
    connect(cmdSelection_, &QPushButton::clicked, this, &ProtocolTreeWindow::ReadSelection_Click);
    connect(cmdLatest_, &QPushButton::clicked, this, &ProtocolTreeWindow::Latest_Click);
    connect(cmdCopy_, &QPushButton::clicked, this, &ProtocolTreeWindow::Copy_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSelection_);
    buttons->addWidget(cmdLatest_);
    buttons->addStretch(1);
    buttons->addWidget(cmdCopy_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(tree_, 1);
    layout->addLayout(buttons);

    rebuild_.setSingleShot(true);
    rebuild_.setInterval(kRebuildMs);
    connect(&rebuild_, &QTimer::timeout, this, &ProtocolTreeWindow::Rebuild);

    // Ctrl+C is 关闭串口 anywhere but in a text box, decided by a filter on
    // the application; in this window it copies the tree. A filter installed
    // later is asked first, and sees the key at every widget it passes.
    qApp->installEventFilter(this);
    Rebuild();
}

ProtocolTreeWindow::~ProtocolTreeWindow()
{
    qApp->removeEventFilter(this);
}

void ProtocolTreeWindow::showAndRaise()
{
    ShowCentredOrRaise(this, false);
}

void ProtocolTreeWindow::showLatest(std::shared_ptr<const DecodedReception> decoded)
{
    latest_ = std::move(decoded);
    if (following_ && isVisible() && !rebuild_.isActive()) {
        rebuild_.start();
    }
}

void ProtocolTreeWindow::ReadSelection_Click()
{
    following_ = false;
    selectionProblem_.clear();
    selected_.reset();
    const ViewSelection selection = SelectionIn(receiveView_.data(), kMostSelectionText);
    if (selection.tooLong) {
        selectionProblem_ = QStringLiteral("所选过长: 一帧至多 %1 字节").arg(kMostProtocolFrame);
    } else if (!selection.text) {
        selectionProblem_ = QStringLiteral("接收区未选择字节");
    } else {
        SelectedBytes read = ReadSelectedHex(*selection.text);
        if (!read.problem.isEmpty()) {
            selectionProblem_ = read.problem;
        } else if (read.bytes.size() > kMostProtocolFrame) {
            selectionProblem_ =
                QStringLiteral("所选过长: 一帧至多 %1 字节").arg(kMostProtocolFrame);
        } else {
            ProtocolReading reading = ReadProtocolFrame(read.bytes, Shared().protocol);
            selected_.emplace(std::move(read.bytes), std::move(reading));
        }
    }
    Rebuild();
}

void ProtocolTreeWindow::Latest_Click()
{
    following_ = true;
    selected_.reset();
    selectionProblem_.clear();
    Rebuild();
}

void ProtocolTreeWindow::Copy_Click()
{
    const QString text = treeText();
    if (tree_->topLevelItemCount() > 0) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void ProtocolTreeWindow::Rebuild()
{
    rebuild_.stop();
    if (Shared().protocol.kind == ProtocolCustom) {
        ShowNothing(QStringLiteral("未选择协议 (配置 → 协议...)"));
        return;
    }
    if (!following_) {
        if (!selected_) {
            ShowNothing(selectionProblem_);
            return;
        }
        ShowNote(QStringLiteral("所选字节 (%1 个)").arg(selected_->first.size()));
        ShowReading(selected_->first, selected_->second);
        return;
    }
    if (!latest_) {
        ShowNothing(QStringLiteral("尚未收到数据"));
        return;
    }
    ShowNote(QStringLiteral("最新接收 (%1 字节)").arg(latest_->bytes.size()));
    ShowReading(latest_->bytes, latest_->reading);
}

void ProtocolTreeWindow::ShowNote(const QString& note)
{
    note_->setText(note);
    tree_->setAccessibleDescription(note); // what a screen reader hears the tree is
}

void ProtocolTreeWindow::ShowNothing(const QString& note)
{
    ShowNote(note);
    tree_->clear();
}

void ProtocolTreeWindow::ShowReading(const ByteList& bytes, const ProtocolReading& reading)
{
    // A reading shown again in its place: the rows in sight stay in sight.
    const int scrolled = tree_->verticalScrollBar()->value();
    tree_->setUpdatesEnabled(false);
    tree_->clear();

    auto* verdict = new QTreeWidgetItem(tree_, {VerdictWords(reading.check)});
    verdict->setFirstColumnSpanned(true);
    verdict->setToolTip(0, verdict->text(0));

    auto hexOf = [&bytes](std::size_t offset, std::size_t length) {
        if (offset >= bytes.size()) {
            return QString();
        }
        length = std::min(length, bytes.size() - offset);
        return Text(HexBytes(std::span<const std::uint8_t>(bytes).subspan(offset, length)));
    };
    QTreeWidgetItem* parent = nullptr;
    for (const ProtocolField& field : reading.fields) {
        const QStringList columns{Text(field.name), hexOf(field.offset, field.length),
                                  Text(field.value)};
        if (field.level > 0 && parent) {
            new QTreeWidgetItem(parent, columns);
        } else {
            parent = new QTreeWidgetItem(tree_, columns);
        }
    }
    if (reading.fields.empty() && !bytes.empty()) {
        // Nothing of the frame could be told apart: its bytes as they came.
        new QTreeWidgetItem(tree_, {QStringLiteral("全部字节"), hexOf(0, bytes.size()), {}});
    }
    tree_->expandAll();
    tree_->setUpdatesEnabled(true);
    tree_->verticalScrollBar()->setValue(scrolled);
}

QString ProtocolTreeWindow::note() const
{
    return note_->text();
}

QString ProtocolTreeWindow::treeText() const
{
    QStringList lines;
    const QTreeWidgetItem* head = tree_->headerItem();
    lines << head->text(0) + QLatin1Char('\t') + head->text(1) + QLatin1Char('\t') + head->text(2);
    auto line = [](const QTreeWidgetItem* item, const QString& indent) {
        if (item->isFirstColumnSpanned()) {
            return indent + item->text(0);
        }
        return indent + item->text(0) + QLatin1Char('\t') + item->text(1) + QLatin1Char('\t') +
               item->text(2);
    };
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = tree_->topLevelItem(i);
        lines << line(top, {});
        for (int j = 0; j < top->childCount(); ++j) {
            lines << line(top->child(j), QStringLiteral("  "));
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ProtocolTreeWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Rebuild(); // the protocol may have changed while it was closed
}

bool ProtocolTreeWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) {
        return false;
    }
    if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        event->accept(); // the key comes to the window, not to 关闭串口
        return true;
    }
    Copy_Click(); // the whole tree, wherever the focus is in the window
    return true;
}

} // namespace quorvane
