#pragma once

#include <QLabel>

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

private:
    QString full_;
};

} // namespace quorvane
