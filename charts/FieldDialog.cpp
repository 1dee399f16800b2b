#include "FieldDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

enum Column { Name, Unit, Area, Offset, Width, Sign, Order, Scale, Shift, ColumnCount };

QComboBox* Choice(const QStringList& items, int current)
{
    auto* box = new QComboBox;
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

int WidthIndex(int width)
{
    return width == 1 ? 0 : width == 4 ? 2 : 1;
}

} // namespace

FieldDialog::FieldDialog(const std::vector<ReplyField>& fields,
                         std::function<void(const Message&)> tell, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(0, ColumnCount, this)), tell_(std::move(tell))
{
    setObjectName(QStringLiteral("frmFields"));
    setWindowTitle(QStringLiteral("数值字段"));
    table_->setObjectName(QStringLiteral("fieldTable"));
    table_->setAccessibleName(QStringLiteral("数值字段"));
    table_->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("单位"),
                                       QStringLiteral("起点"), QStringLiteral("位置"),
                                       QStringLiteral("宽度"), QStringLiteral("有符号"),
                                       QStringLiteral("字节序"), QStringLiteral("比例"),
                                       QStringLiteral("偏移")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setToolTip(QStringLiteral("值 = 原始值 × 比例 + 偏移；位置从0数起，"
                                      "起点为数据区时只读校验应答判为正确的应答"));
    for (const ReplyField& field : fields) {
        AddRow(field);
    }

    table_->setTabKeyNavigation(false); // Tab leaves the list, the arrows move inside
    auto* add = new QPushButton(QStringLiteral("添加(&A)"));
    add->setAccessibleName(QStringLiteral("添加"));
    add->setObjectName(QStringLiteral("cmdAddField"));
    auto* remove = new QPushButton(QStringLiteral("删除(&D)"));
    remove->setAccessibleName(QStringLiteral("删除"));
    remove->setObjectName(QStringLiteral("cmdRemoveField"));
    connect(add, &QPushButton::clicked, this, [this] { AddRow(); });
    connect(remove, &QPushButton::clicked, this, &FieldDialog::RemoveRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FieldDialog::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(row);
    resize(760, 300);
}

void FieldDialog::AddRow(const ReplyField& f)
{
    const int row = table_->rowCount();
    if (static_cast<std::size_t>(row) >= kMaxReplyFields) {
        return;
    }
    table_->insertRow(row);
    const auto text = [this, row](int column, const QString& value) {
        table_->setItem(row, column, new QTableWidgetItem(value));
    };
    text(Name, f.name.empty() ? QStringLiteral("字段%1").arg(row + 1) : QString::fromStdString(f.name));
    text(Unit, QString::fromStdString(f.unit));
    text(Offset, QString::number(f.offset));
    text(Scale, QString::fromStdString(WriteDecimal(f.scale)));
    text(Shift, QString::fromStdString(WriteDecimal(f.shift)));
    table_->setCellWidget(row, Area, Choice({QStringLiteral("接收"), QStringLiteral("数据区"),
                                                    QStringLiteral("解码值")},
                                            static_cast<int>(f.area)));
    table_->setCellWidget(row, Width, Choice({QStringLiteral("1"), QStringLiteral("2"),
                                              QStringLiteral("4")},
                                             WidthIndex(f.width)));
    table_->setCellWidget(row, Sign, Choice({QStringLiteral("否"), QStringLiteral("是")},
                                            f.isSigned ? 1 : 0));
    table_->setCellWidget(row, Order, Choice({QStringLiteral("高位在前"), QStringLiteral("低位在前")},
                                             f.highFirst ? 0 : 1));
}

void FieldDialog::RemoveRow()
{
    const int row = table_->currentRow();
    table_->removeRow(row >= 0 ? row : table_->rowCount() - 1);
}

std::optional<std::vector<ReplyField>> FieldDialog::Fields() const
{
    std::vector<ReplyField> fields;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto text = [this, row](int column) {
            const QTableWidgetItem* item = table_->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        const auto index = [this, row](int column) {
            return static_cast<QComboBox*>(table_->cellWidget(row, column))->currentIndex();
        };
        ReplyField f;
        f.name = text(Name).toStdString();
        f.unit = text(Unit).toStdString();
        f.area = static_cast<FieldArea>(index(Area));
        f.width = index(Width) == 0 ? 1 : index(Width) == 2 ? 4 : 2;
        f.isSigned = index(Sign) == 1;
        f.highFirst = index(Order) == 0;
        bool whole = false;
        f.offset = text(Offset).toInt(&whole);
        const std::optional<double> scale = ReadDecimal(text(Scale).toStdString());
        const std::optional<double> shift = ReadDecimal(text(Shift).toStdString());
        std::string problem;
        if (!whole) {
            problem = "位置应为整数";
        } else if (!scale || !shift) {
            problem = "比例和偏移应为数，如 0.1 或 -40";
        } else {
            f.scale = *scale;
            f.shift = *shift;
            problem = ReplyFieldProblem(f);
        }
        if (!problem.empty()) {
            tell_({"字段 " + std::to_string(row + 1) + ": " + problem, "提示", MessageIcon::Warning, {}});
            return std::nullopt;
        }
        fields.push_back(std::move(f));
    }
    return fields;
}

void FieldDialog::Confirm()
{
    if (const std::optional<std::vector<ReplyField>> fields = Fields()) {
        emit fieldsChosen(*fields);
        accept();
    }
}

} // namespace quorvane
