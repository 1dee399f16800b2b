#pragma once

#include <QPlainTextEdit>

class QMimeData;

namespace quorvane {

// The send box. Text pasted or dropped into it (the keyboard shortcuts, the
// context menu, the middle button, drag and drop) meets the rules of typed
// keys under the current input format and goes in whole or not at all, and
// the box holds at most MaxChars characters: a longer text would take the
// box seconds to lay out at every key, and no device takes such a frame.
class SendBox : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qsizetype MaxChars = 8192;

    explicit SendBox(QWidget* parent = nullptr);

    // Whether the text stays within MaxChars when `count` characters replace
    // the selection.
    bool takes(qsizetype count) const;

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The text of source as it would go in, or a null string after the
    // refusal is shown. `replaced` characters of the box give way to it.
    QString admitted(const QMimeData* source, qsizetype replaced, bool showLater);
};

} // namespace quorvane
