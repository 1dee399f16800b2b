#include "StatusPanel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QTextDocumentFragment>

namespace quorvane {

namespace {

// A status panel to screen readers: static text whose name and text are
// what it shows.
class StatusPanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit StatusPanelAccessible(StatusPanel* panel)
        : QAccessibleWidget(panel, QAccessible::StaticText)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    // The panel's own actions (the line panel's DTR and RTS) come first.
    QStringList actionNames() const override
    {
        return panel()->panelActions() + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (panel()->panelActions().contains(name)) {
            panel()->doPanelAction(name);
            return;
        }
        QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        return panel()->panelActions().contains(name) ? QStringList()
                                                      : QAccessibleWidget::keyBindingsForAction(name);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name || t == QAccessible::Value) {
            return shown();
        }
        if (t == QAccessible::Description) {
            return widget()->accessibleDescription();
        }
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface: the shown text, read-only, no caret.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override
    {
        return shown().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    // Where a character stands on the screen, for the words that are both
    // spoken and shown (all of them, or those both begin with).
    QRect characterRect(int offset) const override
    {
        const QString spoken = shown();
        const QString plain = panel()->shownPlainText();
        qsizetype same = 0;
        while (same < spoken.size() && same < plain.size() && spoken[same] == plain[same]) {
            ++same;
        }
        if (offset < 0 || offset >= same) {
            return {};
        }
        const QFontMetrics metrics(panel()->font());
        const QRect content = panel()->contentsRect();
        const QRect place(content.left() + metrics.horizontalAdvance(plain.left(offset)),
                          content.top() + (content.height() - metrics.height()) / 2,
                          metrics.horizontalAdvance(plain.at(offset)), metrics.height());
        return {panel()->mapToGlobal(place.topLeft()), place.size()};
    }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    StatusPanel* panel() const { return static_cast<StatusPanel*>(widget()); }
    QString shown() const { return panel()->fullText(); }
};

QAccessibleInterface* StatusPanelFactory(const QString&, QObject* object)
{
    if (auto* panel = qobject_cast<StatusPanel*>(object)) {
        return new StatusPanelAccessible(panel);
    }
    return nullptr;
}

} // namespace

StatusPanel::StatusPanel(const QString& objectName, const QString& purpose, QWidget* parent)
    : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(StatusPanelFactory);
        return true;
    }();
    (void)installed;
    setObjectName(objectName);
    setAccessibleDescription(purpose);
}

void StatusPanel::setPanelActions(const QStringList& names,
                                  std::function<void(const QString&)> act)
{
    actions_ = names;
    act_ = std::move(act);
}

void StatusPanel::doPanelAction(const QString& name)
{
    if (act_ && actions_.contains(name)) {
        act_(name);
    }
}

QString StatusPanel::shownPlainText() const
{
    return textFormat() == Qt::RichText ? QTextDocumentFragment::fromHtml(text()).toPlainText()
                                        : text();
}

void StatusPanel::setPanelText(const QString& text)
{
    setPanelTexts(text, text);
}

void StatusPanel::setPanelTexts(const QString& shown, const QString& full)
{
    if (shown == text() && full == full_) {
        return;
    }
    const QString old = full_;
    full_ = full;
    setText(shown); // tells screen readers of the new name
    showToolTip();
    if (QAccessible::isActive() && old != full) {
        QAccessibleTextUpdateEvent event(this, 0, old, full);
        QAccessible::updateAccessibility(&event);
    }
}

void StatusPanel::setToolTipNote(const QString& note)
{
    if (note != note_) {
        note_ = note;
        showToolTip();
    }
}

// The full words where the panel shows less, and the note under them.
void StatusPanel::showToolTip()
{
    QStringList lines;
    if (full_ != text()) {
        lines << full_;
    }
    if (!note_.isEmpty()) {
        lines << note_;
    }
    setToolTip(lines.join(u'\n'));
}

} // namespace quorvane
