#include "app/ModeTitle.h"

#include "common/TextFormat.h"

QString ModeTitle(RunMode mode, const QString& productTitle, bool doubleAmpersands)
{
    int id = 1301;
    switch (mode) {
    case RunMode::Install:
        id = 1301;
        break;
    case RunMode::Upgrade:
        id = 1401;
        break;
    case RunMode::Repair:
        id = 1501;
        break;
    case RunMode::Uninstall:
    case RunMode::DoUninstall:
        id = 1601;
        break;
    }
    QString title = FormatMessage(id, {productTitle});
    if (doubleAmpersands)
        title.replace(QStringLiteral("&"), QStringLiteral("&&"));
    return title;
}
