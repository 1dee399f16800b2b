#include "Controls.h"

#include "AppendView.h"
#include "FindBar.h"
#include "MessageSeam.h"
#include "PushButton.h"

#include <QAbstractButton>

#include <algorithm>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

namespace quorvane
{

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        int w, int h)
{
    return Place(new PushButton(caption, parent), name, x, y, w, h,
                 CaptionWithoutAccessKey(caption));
}

QString CaptionWithoutAccessKey(const QString& caption)
{
    static const QRegularExpression key(QStringLiteral("\\(&.\\)"));
    QString plain = caption;
    plain.remove(key);
    return plain.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(u'&')
        .replace(u'\x01', u'&');
}

void SetButtonCaption(QAbstractButton* button, const QString& caption)
{
    button->setText(caption);
    button->setAccessibleName(CaptionWithoutAccessKey(caption));
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w,
                  int h)
{
    return Place(new QLabel(caption, parent), name, x, y, w, h, caption);
}

QLabel* MakeLabelAt(QWidget* parent, const QString& name, const QString& caption, int x, int y)
{
    auto* label = MakeLabel(parent, name, caption, x, y, 10, 10);
    label->resize(label->sizeHint());
    return label;
}

QLabel* MakeLabelBefore(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        const QWidget* box, int gap)
{
    QLabel* label = MakeLabelAt(parent, name, caption, x, y);
    const int room = box->x() - gap - x;
    if (label->width() > room) {
        label->move(box->x() - gap - label->width(), y);
    }
    return label;
}

QRadioButton* MakeOption(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                         int w, int h)
{
    auto* option = new QRadioButton(caption, parent);
    Place(option, name, x, y, w, h, caption);
    if (w == 0) {
        option->resize(option->sizeHint().width(), h);
    }
    return option;
}

TextView MakeTextView(QWidget* parent, const QString& name, int x, int y, int w, int h,
                      const QString& accessible)
{
    auto* view = Place(new AppendView(parent), name, x, y, w, h, accessible);
    // After the key or menu event that asked for the copy has been handled.
    QObject::connect(
        view, &AppendView::copyRefused, view,
        [] { MessageSeam::instance().show(MessageId::CopyTooLarge); }, Qt::QueuedConnection);
    return {view, view};
}

void ColourCheckWords(const TextView& view)
{
    const QColor right(0x00, 0x80, 0x00);
    const QColor fault(0xC0, 0x00, 0x00);
    std::vector<MarkedWords::Word> words;
    for (const char* opening : {" [校验正确", " [通过"}) {
        words.push_back({opening, right});
    }
    for (const char* opening :
         {" [校验错误", " [长度错误", " [帧尾错误", " [帧头错误", " [奇偶校验错误", " [失败"}) {
        words.push_back({opening, fault});
    }
    static_cast<AppendView*>(view.widget)->setMarkedWords(std::move(words));
}

void AddFindBar(TextView& view, QWidget* parent, const QString& name)
{
    auto* bar = new FindBar(static_cast<AppendView*>(view.widget), parent);
    bar->setObjectName(name);
    bar->hide();
    view.findBar = bar;
}

void OpenFindBar(const TextView& view)
{
    if (auto* bar = qobject_cast<FindBar*>(view.findBar)) {
        bar->openBar();
    }
}

void ShowBytesInFindBarAs(const TextView& view, int mode, int encoding,
                          const ShownCharacters& characters)
{
    if (auto* bar = qobject_cast<FindBar*>(view.findBar)) {
        bar->setBytesShownAs(static_cast<DisplayMode>(mode), encoding, characters);
    }
}

void SelectAllIn(const TextView& view)
{
    static_cast<AppendView*>(view.widget)->selectAll();
}

void CopyFrom(const TextView& view)
{
    static_cast<AppendView*>(view.widget)->copy();
}

ViewSelection SelectionIn(const QWidget* view, qsizetype most)
{
    const auto* shown = qobject_cast<const AppendView*>(view);
    if (!shown || !shown->hasSelection()) {
        return {};
    }
    if (shown->selectionEnd() - shown->selectionBegin() > static_cast<std::uint64_t>(std::max<qsizetype>(most, 0))) {
        return {std::nullopt, true};
    }
    return {shown->selectedText(), false};
}

} // namespace quorvane

#include <QApplication>
#include <QFont>

namespace quorvane {

void ApplyProgramFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    QApplication::setFont(font);
}

void ApplyFrameLook()
{
    // Controls sit at fixed places from the top of their frame, a few pixels
    // below its caption: the frame's line runs through the middle of the
    // caption, as on the classic frames those places were laid out for, and
    // not under it, where it would cross the first row of controls.
    qApp->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 2px; background-color: palette(window); }"));
}

} // namespace quorvane
