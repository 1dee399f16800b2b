#pragma once

#include "ByteList.h"
#include "SearchPattern.h"
#include "SharedSettings.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvane
{

class AppendView;
class TextSearch;

// The find bar under a view: a text box (查找内容), 下一个 (Enter in the box,
// F3) and 上一个 (Shift+F3), 十六进制 (the text is read as hex bytes, found as
// the view shows bytes now) and what was found: "第 3 / 57 处",
// "查找中…" while older text is still being counted, "无匹配", or a hint when
// the text is not hex bytes or the bytes have no characters to look for. Esc closes the bar and
// gives the focus back to the view. The bar starts closed; the window places it and opens it.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(AppendView* view, QWidget* parent = nullptr);
    ~FindBar() override;

    // Shows the bar, focuses the text box and selects its text.
    void openBar();
    // Hides the bar; the view gets the focus.
    void closeBar();
    TextSearch& search() { return *search_; }
    // How the view shows bytes now (string display in the single-byte code
    // page until told otherwise): hex bytes are looked for that way; in
    // string display in GBK or UTF-8 (`encoding`, a TextEncodingId) as the
    // characters `characters` makes of them.
    void setBytesShownAs(DisplayMode mode, int encoding = EncodingSingleByte,
                         SearchPattern::Characters characters = {});
    // What the count label shows.
    QString status() const;

public slots:
    void findNext();
    void findPrevious();

signals:
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyText();
    void showStatus();
    void find(bool forward);

    AppendView* view_;
    TextSearch* search_;
    QLineEdit* box_;
    QPushButton* next_;
    QPushButton* previous_;
    QCheckBox* hex_;
    QLabel* status_;
    QString hint_;          // why the text cannot be looked for
    bool notFound_ = false; // the last find found nothing
    DisplayMode shownAs_ = ModeString;
    int encoding_ = EncodingSingleByte;
    SearchPattern::Characters characters_;
};

} // namespace quorvane
