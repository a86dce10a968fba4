#include "common/Failure.h"

#include "common/MessageTable.h"

#include <clocale>
#include <cstring>

#include <locale.h>

QString CFailure::Text() const
{
    if (!IsSet())
        return {};
    QString text = action;
    if (!subject.isEmpty())
        text += u' ' + subject;
    if (!cause.isEmpty())
        text += QStringLiteral(": ") + cause;
    return text;
}

CFailure CFailure::FromErrno(const QString& action, const QString& subject, int error)
{
    return {action, subject, ErrnoText(error)};
}

QString ErrnoText(int error)
{
    // Always the C library's English text: reasons end up in logs and reports
    // that people search for, whatever language the run was in.
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    if (c != locale_t(0))
        return QString::fromUtf8(::strerror_l(error, c));
    return GetTextString(TEXT::ErrorNumber).arg(error);
}
