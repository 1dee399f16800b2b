#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace quorvane {

class SessionRecord;

// "记录格式" in 记录(L): 文本 (the record's lines, chosen at start) or CSV (a
// row per frame written and per reception, for a spreadsheet). The format
// is chosen before recording starts: while a record is written it stays.
class RecordFormatMenu : public QObject {
    Q_OBJECT
public:
    RecordFormatMenu(QMenu* log, SessionRecord& record);

    // Recording started or stopped: the choice is locked meanwhile.
    void RecordingChanged(bool on);

    QAction* textItem() const { return text_; }
    QAction* csvItem() const { return csv_; }

private:
    SessionRecord& record_;
    QMenu* menu_;
    QAction* text_;
    QAction* csv_;
};

} // namespace quorvane
