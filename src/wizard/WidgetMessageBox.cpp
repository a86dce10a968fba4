#include "wizard/WidgetMessageBox.h"

#include "wizard/ArrowCursor.h"

#include <QFileInfo>
#include <QMessageBox>

#include <utility>

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// Closing a box without a button (Escape, the window's close) counts as the
// answer that goes no further.
MessageAnswer AnswerOf(int button, MessageButtons buttons)
{
    switch (button) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Retry:
        return MessageAnswer::Retry;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

}  // namespace

CWidgetMessageBox::CWidgetMessageBox(QWidget* owner, QString applicationName)
    : m_owner(owner), m_applicationName(std::move(applicationName))
{
}

QString CWidgetMessageBox::ApplicationNameOf(const QString& modulePath)
{
    return QFileInfo(modulePath).completeBaseName();
}

MessageAnswer CWidgetMessageBox::Show(const QString& text, const QString& caption, MessageIcon icon,
                                      MessageButtons buttons)
{
    const QString title = caption.isEmpty() ? m_applicationName : caption;
    MessageAnswer answer;
    if (!m_nextAnswers.empty()) {
        answer = m_nextAnswers.front();
        m_nextAnswers.pop_front();
    } else {
        QMessageBox box(BoxIcon(icon), title, text, BoxButtons(buttons), m_owner);
        box.setTextFormat(Qt::PlainText);
        // A question asked during a wait (the upgrade check) shows the normal
        // pointer over its buttons.
        const CArrowCursor arrow;
        answer = AnswerOf(box.exec(), buttons);
    }
    m_shown.push_back({text, title, icon, buttons, answer});
    return answer;
}
