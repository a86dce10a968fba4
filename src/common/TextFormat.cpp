#include "common/TextFormat.h"

#include "common/MessageTable.h"

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
