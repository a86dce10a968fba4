#include "app/TextFormat.h"

#include "app/MessageTable.h"

QString FormatText(const QString& format, const QStringList& args)
{
    QString out;
    out.reserve(format.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'%' && i + 1 < format.size()) {
            const QChar k = format[i + 1];
            if (k == u's' || k == u'd') {
                if (next < args.size())
                    out += args[next];
                ++next;
                ++i;
                continue;
            }
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString FormatMessage(int id, const QStringList& args)
{
    return FormatText(GetTextString(id), args);
}

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
