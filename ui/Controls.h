#pragma once

#include "ByteList.h"
#include "TextSink.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quorvane
{

// Gives a control its documented object name, its fixed place in its parent
// (x, y, width, height in pixels) and an accessible name.
template <typename W>
W* Place(W* widget, const QString& name, int x, int y, int w, int h, const QString& accessible)
{
    widget->setObjectName(name);
    widget->setGeometry(x, y, w, h);
    widget->setAccessibleName(accessible);
    return widget;
}

// A caption as screen readers read it: without its access key ("添加(&A)"
// reads "添加"; Alt+A is told as the button's key).
QString CaptionWithoutAccessKey(const QString& caption);

// Shows a new caption on a button, and its accessible name with it.
void SetButtonCaption(QAbstractButton* button, const QString& caption);

// A push button that Enter and Space press while it has the focus; it is a
// dialog's default (answering Enter elsewhere) only when told to. The
// caption may carry an access key.
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        int w, int h);

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w,
                  int h);

// A label sized to its caption, at x, y.
QLabel* MakeLabelAt(QWidget* parent, const QString& name, const QString& caption, int x, int y);

// A label for a box, at x, y and sized to its caption, that ends at least
// `gap` pixels before the box: when the caption is too wide for the room it
// moves left, never onto the box.
QLabel* MakeLabelBefore(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        const QWidget* box, int gap = 4);

// An option button sized to its caption unless w is given.
QRadioButton* MakeOption(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                         int w = 0, int h = 17);

// A read-only view whose text only grows at its end (the send and receive
// views): the widget, and the text it shows.
struct TextView {
    QWidget* widget = nullptr;
    TextSink* text = nullptr;
    QWidget* findBar = nullptr; // hidden until opened
};

TextView MakeTextView(QWidget* parent, const QString& name, int x, int y, int w, int h,
                      const QString& accessible);

// Gives a view its find bar (named `name`), a hidden child of `parent` that
// the window places under the view.
void AddFindBar(TextView& view, QWidget* parent, const QString& name);
// Opens the find bar with its text selected.
void OpenFindBar(const TextView& view);
// The characters (UTF-8) string display shows for bytes in GBK or UTF-8, or
// nothing when the bytes do not all make whole characters.
using ShownCharacters = std::function<std::optional<std::string>(const ByteList&)>;
// Tells the view's find bar how the view shows bytes now (a DisplayMode and,
// for string display, the encoding and the characters bytes make in it).
void ShowBytesInFindBarAs(const TextView& view, int mode, int encoding,
                          const ShownCharacters& characters);
void SelectAllIn(const TextView& view);
// The words after a reception in colour, their text as it is: a right frame
// or a step passed in green, every fault in red.
void ColourCheckWords(const TextView& view);
// Copies the view's selection (refused, with its message, above the copy limit).
void CopyFrom(const TextView& view);
// The text selected in a view's widget: none when nothing is, and none with
// `tooLong` when more than `most` characters are.
struct ViewSelection {
    std::optional<QString> text;
    bool tooLong = false;
};
ViewSelection SelectionIn(const QWidget* view, qsizetype most);

} // namespace quorvane

namespace quorvane {

// The program's UI font: the platform's default family at 12 pixels, the size
// the fixed layouts are drawn for.
void ApplyProgramFont();
// The look of frames (group boxes) in every window of the program.
void ApplyFrameLook();

} // namespace quorvane
