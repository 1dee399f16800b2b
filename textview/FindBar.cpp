#include "FindBar.h"

#include "AppendView.h"
#include "SearchPattern.h"
#include "TextSearch.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quorvane
{

namespace
{

template <typename W> W* Named(W* widget, const char* name, const QString& accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

FindBar::FindBar(AppendView* view, QWidget* parent)
    : QWidget(parent), view_(view), search_(new TextSearch(view, this)),
      box_(Named(new QLineEdit(this), "txtFind", QStringLiteral("查找内容"))),
      next_(Named(new QPushButton(QStringLiteral("下一个"), this), "cmdFindNext",
                  QStringLiteral("下一个"))),
      previous_(Named(new QPushButton(QStringLiteral("上一个"), this), "cmdFindPrevious",
                      QStringLiteral("上一个"))),
      hex_(Named(new QCheckBox(QStringLiteral("十六进制"), this), "chkFindHex",
                 QStringLiteral("十六进制"))),
      status_(Named(new QLabel(this), "lblFindCount", QString()))
{
    setObjectName(QStringLiteral("findBar"));
    setAccessibleName(QStringLiteral("查找"));
    status_->setAccessibleDescription(QStringLiteral("查找结果"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(4);
    // At the window's opening size the bar is as wide as the view: the
    // buttons take the width of their captions, the box and the count share
    // the rest.
    for (QPushButton* button : {next_, previous_}) {
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(button->text()) + 14);
    }
    box_->setMinimumWidth(60);
    row->addWidget(box_, 3);
    row->addWidget(next_);
    row->addWidget(previous_);
    row->addWidget(hex_);
    row->addWidget(status_, 2);
    next_->setToolTip(QStringLiteral("F3"));
    previous_->setToolTip(QStringLiteral("Shift+F3"));

    connect(box_, &QLineEdit::textChanged, this, &FindBar::applyText);
    connect(box_, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(hex_, &QCheckBox::toggled, this, &FindBar::applyText);
    connect(next_, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous_, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(search_, &TextSearch::countChanged, this, &FindBar::showStatus);
    connect(search_, &TextSearch::found, this, [this] {
        notFound_ = false;
        showStatus();
    });
    connect(search_, &TextSearch::notFound, this, [this] {
        notFound_ = true;
        showStatus();
    });
    applyText();
    hide();
}

FindBar::~FindBar() = default;

void FindBar::openBar()
{
    show();
    box_->setFocus(Qt::ShortcutFocusReason);
    box_->selectAll();
}

void FindBar::closeBar()
{
    hide();
    view_->setFocus(Qt::OtherFocusReason);
    emit closed();
}

void FindBar::findNext()
{
    find(true);
}

void FindBar::findPrevious()
{
    find(false);
}

void FindBar::find(bool forward)
{
    if (search_->pattern().empty()) {
        return;
    }
    forward ? search_->findNext() : search_->findPrevious();
}

// A new text (or a new way to read it) is looked for from scratch.
void FindBar::applyText()
{
    const std::string text = box_->text().toStdString();
    hint_.clear();
    notFound_ = false;
    SearchPattern pattern;
    if (hex_->isChecked()) {
        std::string bad;
        if (std::optional<SearchPattern> bytes =
                SearchPattern::Hex(text, bad, shownAs_, characters_)) {
            pattern = std::move(*bytes);
            if (pattern.empty()) {
                hint_ = encoding_ == EncodingSingleByte
                            ? QStringLiteral("字符串显示中字节 00 和 81-FF 没有对应的字符,无法查找")
                            : QStringLiteral("字符串显示中这些字节不成完整的字符,无法查找");
            }
        } else if (!bad.empty()) {
            hint_ = QStringLiteral("“%1”不是十六进制字节:每个字节 1-2 位十六进制数,以空格隔开")
                        .arg(QString::fromStdString(bad));
        }
    } else {
        pattern = SearchPattern::Plain(text);
    }
    next_->setEnabled(!pattern.empty());
    previous_->setEnabled(!pattern.empty());
    search_->setPattern(std::move(pattern));
    showStatus();
}

void FindBar::setBytesShownAs(DisplayMode mode, int encoding, SearchPattern::Characters characters)
{
    if (mode == shownAs_ && encoding == encoding_) {
        return;
    }
    shownAs_ = mode;
    encoding_ = encoding;
    characters_ = encoding == EncodingSingleByte ? nullptr : std::move(characters);
    if (hex_->isChecked()) {
        applyText();
    }
}

QString FindBar::status() const
{
    return status_->text();
}

void FindBar::showStatus()
{
    QString shown;
    if (!hint_.isEmpty()) {
        shown = hint_;
    } else if (search_->pattern().empty()) {
        shown.clear();
    } else if (notFound_) {
        shown = QStringLiteral("无匹配");
    } else if (search_->counting()) {
        shown = QStringLiteral("查找中…");
    } else if (search_->count() == 0) {
        shown = QStringLiteral("无匹配");
    } else if (const std::uint64_t number = search_->currentNumber()) {
        shown = QStringLiteral("第 %1 / %2 处").arg(number).arg(search_->count());
    } else {
        shown = QStringLiteral("共 %1 处").arg(search_->count());
    }
    if (shown != status_->text() || status_->accessibleName().isEmpty()) {
        status_->setText(shown);
        status_->setAccessibleName(shown.isEmpty() ? QStringLiteral("查找结果") : shown);
    }
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers() == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        closeBar();
    } else if (event->key() == Qt::Key_F3 && (shift || event->modifiers() == Qt::NoModifier)) {
        find(!shift);
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace quorvane
