#pragma once

#include "TextSink.h"

#include <QString>
#include <QWidget>
#include <string_view>

class QPlainTextEdit;

namespace quorvane {

// A read-only text view that only grows at its end: the send and receive
// views. A CR LF pair starts a new line; so does a lone CR or LF. text()
// returns exactly what was appended since the last clear().
class AppendView : public QWidget, public TextSink {
    Q_OBJECT
public:
    explicit AppendView(QWidget* parent = nullptr);
    ~AppendView() override;

    void append(std::string_view utf8);
    void clear();
    QString text() const;
    bool hasSelection() const;
    QString selectedText() const;

    // TextSink
    bool IsEmpty() const override;
    void Append(std::string_view text) override { append(text); }

private:
    QPlainTextEdit* edit_;
    QString text_;
    bool endsWithCr_ = false;
};

} // namespace quorvane
