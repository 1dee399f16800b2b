#pragma once

#include "Controls.h"

#include <QObject>

class QAction;
class QMenuBar;

namespace quorvane {

// "编辑(E)": 查找... (Ctrl+F), 全选 (Ctrl+A) and 复制 for the view the user
// is in: the send view when it (or its find bar) has the focus, otherwise
// the receive view. 复制 has no key of its own: Ctrl+C keeps its rule.
class EditMenu : public QObject {
    Q_OBJECT
public:
    // Puts the menu into the bar before `before`.
    EditMenu(QMenuBar* bar, QAction* before, TextView send, TextView receive);

    void Find_Click();
    void SelectAll_Click();
    void Copy_Click();

private:
    const TextView& CurrentView() const;

    TextView send_;
    TextView receive_;
};

} // namespace quorvane
