#pragma once

#include "TextSink.h"

#include <QString>
#include <QWidget>
#include <string_view>

class QPlainTextEdit;

namespace quorvane::bench
{

// The comparison view: the receive view as it was built on QPlainTextEdit,
// with the same interface as AppendView. Appending re-lays out the whole
// paragraph it appends to.
class PlainTextAppendView : public QWidget, public TextSink
{
    Q_OBJECT
public:
    explicit PlainTextAppendView(QWidget* parent = nullptr);
    ~PlainTextAppendView() override;

    void append(std::string_view utf8);
    void clear();
    QString text() const;
    qsizetype characterCount() const;

    bool IsEmpty() const override;
    void Append(std::string_view text) override { append(text); }
    // It does not tell bytes from other text.
    void AppendBytes(std::string_view text) override { append(text); }
    void ReplaceEnd(std::size_t count, std::string_view text,
                    std::span<const ByteStretch> bytes) override;
    void Clear() override { clear(); }

private:
    QPlainTextEdit* edit_;
    bool endsWithCr_ = false;
};

} // namespace quorvane::bench
