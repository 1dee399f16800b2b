#pragma once

#include "Messages.h"
#include "ReplyField.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QTableWidget;

namespace quorvane {

// "数值字段": the fields read from the replies, one row each (up to
// kMaxReplyFields): 名称, 单位, 起点 (接收 or 数据区), 位置, 宽度, 有符号,
// 字节序, 比例, 偏移. 确定 checks every row first: a row that is wrong is
// named in a message and nothing changes.
class FieldDialog : public QDialog {
    Q_OBJECT
public:
    FieldDialog(const std::vector<ReplyField>& fields, std::function<void(const Message&)> tell,
                QWidget* parent = nullptr);

    // The rows as fields, or nothing after the message of the first wrong one.
    std::optional<std::vector<ReplyField>> Fields() const;

    void AddRow(const ReplyField& field = {});
    void RemoveRow();

signals:
    void fieldsChosen(const std::vector<ReplyField>& fields);

private:
    void Confirm();

    QTableWidget* table_;
    std::function<void(const Message&)> tell_;
};

} // namespace quorvane
