#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvane
{

class MainControls;

// The frame format dialog "发送帧格式": the template bytes, data-count and
// checksum bytes, checksum method (with the byte order of the wider checks)
// and start, and the data preprocessing.
// Created at opening from the current settings, destroyed when it closes.
class FrmFrame : public QDialog
{
    Q_OBJECT
public:
    FrmFrame(MainControls& main, QWidget* parent);

    void showAndRaise();
    void cmdOK_Click();
    void cmdcancel_Click();

private:
    void buildTemplateColumn();
    void buildOptionColumn();
    void buildOtherCheckColumn();
    void setTabOrder();
    void Form_Load();
    void Check1_Click();
    void ChooseFcsMethod(int method);
    void ChooseByteOrder(int order);
    void ShowStoredFcsMethod(int method, int order);
    void ChooseOption(std::array<QRadioButton*, 3>& group, int count, int index, int& recorded);

    MainControls& main_;
    std::array<QLineEdit*, 4> txtframe{};
    QComboBox* cmbLen = nullptr;
    QComboBox* cmbFcs = nullptr;
    std::array<QRadioButton*, 3> optFcs{}; // XOR, sum, the check chosen in cmbFcsMethod
    QComboBox* cmbFcsMethod = nullptr;
    std::array<QRadioButton*, 2> optFcsOrder{}; // FcsLowFirst, FcsHighFirst
    QGroupBox* frame6 = nullptr;
    std::array<QRadioButton*, 3> OptStart{};
    std::array<QRadioButton*, 3> OptHandel{};
    QCheckBox* Check1 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdcancel = nullptr;
    int fcsMethodIndex_ = 0; // an FcsMethodId
    int byteOrderIndex_ = 1; // FcsHighFirst
    int fcsStartIndex_ = 0;
    int handelIndex_ = 0;
};

} // namespace quorvane
