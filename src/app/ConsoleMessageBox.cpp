#include "app/ConsoleMessageBox.h"

#include <cstdio>

MessageAnswer CConsoleMessageBox::Show(const QString& text, const QString& caption, MessageIcon /*icon*/,
                                       MessageButtons buttons)
{
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    return DefaultAnswer(buttons);
}

MessageAnswer CConsoleMessageBox::DefaultAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::RetryCancel:
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}
