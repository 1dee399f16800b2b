#pragma once

#include <QLabel>
#include <QStringList>
#include <functional>

namespace quorvane {

// A panel of the status bar. What it shows is also what screen readers read:
// its accessible name and text are the shown text ("串口状态：打开", the date,
// the time); what the panel is for is its accessible description.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    StatusPanel(const QString& objectName, const QString& purpose, QWidget* parent);

    // Shows a new text and tells screen readers.
    void setPanelText(const QString& text);
    // Shows a short form (it may be rich text) where room is scarce; screen
    // readers and the tooltip get the full words.
    void setPanelTexts(const QString& shown, const QString& full);
    QString fullText() const { return full_; }
    // A line the tooltip adds under the full words (an empty one: none).
    // It is not shown in the panel, and screen readers are not told of it.
    void setToolTipNote(const QString& note);
    // The shown text without its markup.
    QString shownPlainText() const;

    // What a screen reader may do on the panel (its actions), and what
    // doing one of them does.
    void setPanelActions(const QStringList& names, std::function<void(const QString&)> act);
    QStringList panelActions() const { return actions_; }
    void doPanelAction(const QString& name);

private:
    void showToolTip();

    QString full_;
    QString note_;
    QStringList actions_;
    std::function<void(const QString&)> act_;
};

} // namespace quorvane
