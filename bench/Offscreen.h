#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace quorvane::bench
{

// The offscreen platform warns about things it cannot do (size hints, no
// runtime folder); those lines would only clutter the table. Everything else
// Qt reports still goes to standard error.
inline void QuietOffscreenNotes()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.contains(QLatin1String("propagateSizeHints")) ||
            text.contains(QLatin1String("XDG_RUNTIME_DIR"))) {
            return;
        }
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
}

} // namespace quorvane::bench
