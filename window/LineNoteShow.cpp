#include "LineNoteShow.h"

#include "SerialPort.h"
#include "StatusPanel.h"

namespace quorvane {

LineNoteShow::LineNoteShow(SerialPort& port, StatusPanel& notePanel, QObject* parent)
    : QObject(parent), port_(port), notePanel_(notePanel)
{
    connect(&port_, &SerialPort::lineNoteChanged, this, &LineNoteShow::Show);
}

void LineNoteShow::Show()
{
    const QString note = QString::fromStdString(port_.LineNote());
    if (note == shown_) {
        return;
    }
    if (!note.isEmpty()) {
        notePanel_.setPanelText(note);
    } else if (notePanel_.fullText() == shown_) {
        notePanel_.setPanelText({});
    }
    shown_ = note;
}

} // namespace quorvane
