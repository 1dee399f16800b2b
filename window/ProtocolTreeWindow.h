#pragma once

#include "ByteList.h"
#include "ProtocolReading.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>
#include <utility>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quorvane {

struct DecodedReception;

// "解析": a reception read by the chosen protocol, field by field. A tree of
// 字段 / 字节 / 值 (the field's name, its bytes in hex, its value), the fields
// of a field (the registers of the data) nested under it, and above them the
// verdict ("校验正确 读保持寄存器 2 个: 1 2"). It follows the latest reception
// read, at most ten times a second and only while it is open; "解析所选"
// reads the hex bytes selected in the receive view instead, until "最新接收".
// "复制" and Ctrl+C copy the tree as lines of tab-separated columns. Under
// the documented frame format there is nothing to read: the window says so.
// Modeless; closing only hides it.
class ProtocolTreeWindow : public QDialog {
    Q_OBJECT
public:
    // `receiveView`: the view whose selection "解析所选" reads (may be null).
    ProtocolTreeWindow(QWidget* receiveView, QWidget* parent);
    ~ProtocolTreeWindow() override;

    void showAndRaise();
    // A reception read by the line engine; shown soon when the window is
    // open and following the receptions.
    void showLatest(std::shared_ptr<const DecodedReception> decoded);

    void ReadSelection_Click(); // 解析所选
    void Latest_Click();        // 最新接收
    void Copy_Click();          // 复制

    // Fills the tree now from what is to be shown.
    void Rebuild();
    // The tree as the copy gives it: the column heads, then a line per row,
    // columns joined by tabs, a nested field's name indented by two blanks.
    QString treeText() const;
    // The line above the tree: what is shown, or why nothing is.
    QString note() const;
    QTreeWidget* tree() const { return tree_; }
    bool following() const { return following_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowReading(const ByteList& bytes, const ProtocolReading& reading);
    void ShowNote(const QString& note);
    void ShowNothing(const QString& note);

    QPointer<QWidget> receiveView_;
    QLabel* note_;
    QTreeWidget* tree_;
    QPushButton* cmdSelection_;
    QPushButton* cmdLatest_;
    QPushButton* cmdCopy_;
    QTimer rebuild_; // coalesces receptions into one rebuild

    std::shared_ptr<const DecodedReception> latest_;
    bool following_ = true;
    // What 解析所选 read, while not following; no bytes when the selection
    // was no hex bytes (selectionProblem_ says why).
    std::optional<std::pair<ByteList, ProtocolReading>> selected_;
    QString selectionProblem_;
};

// The verdict of a reading without its brackets: "校验正确 读保持寄存器 2 个: 1 2",
// "校验错误 应为 C5 CD 收到 C5 CE".
QString VerdictWords(const ReplyCheckResult& check);

// The bytes of a selection of hex text ("01 03 04", across lines too), or
// why it is none: "所选内容不是十六进制字节" and the like.
struct SelectedBytes {
    ByteList bytes;
    QString problem;
};
SelectedBytes ReadSelectedHex(const QString& text);

} // namespace quorvane
