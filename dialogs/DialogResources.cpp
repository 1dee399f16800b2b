#include "DialogResources.h"

#include <QIcon>

static void InitBundledResources()
{
    Q_INIT_RESOURCE(quorvane);
}

namespace quorvane
{

void InitDialogResources()
{
    InitBundledResources();
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (const char* file : {":/icons/quorvane.png", ":/icons/quorvane-48.png",
                             ":/icons/quorvane-128.png", ":/icons/quorvane-256.png"}) {
        icon.addFile(QString::fromLatin1(file));
    }
    return icon;
}

} // namespace quorvane
