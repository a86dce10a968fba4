// Message boxes of the windowed runs: a QMessageBox owned by the wizard (or by
// no window during start-up), captioned with the application's name. Tests
// queue the answers of the next boxes; a box with a queued answer is recorded
// but not shown, so no modal loop waits for a person.
#pragma once

#include "app/MessageBox.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <vector>

class CWidgetMessageBox : public CMessageBox {
public:
    struct Record {
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
        MessageAnswer answer;
    };

    // applicationName: the caption of boxes that pass none (the executable's
    // file name without its extension, see ApplicationNameOf).
    CWidgetMessageBox(QWidget* owner, QString applicationName);

    MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                       MessageButtons buttons) override;

    void SetOwner(QWidget* owner) { m_owner = owner; }
    QWidget* Owner() const { return m_owner; }

    // The next box is answered with answer without being shown.
    void AnswerNext(MessageAnswer answer) { m_nextAnswers.push_back(answer); }
    // Every box asked for so far, shown or answered in advance.
    const std::vector<Record>& Shown() const { return m_shown; }

    // "uninstall.exe" -> "uninstall", "LabelPrintSetup" -> "LabelPrintSetup".
    static QString ApplicationNameOf(const QString& modulePath);

private:
    QPointer<QWidget> m_owner;
    QString m_applicationName;
    std::deque<MessageAnswer> m_nextAnswers;
    std::vector<Record> m_shown;
};
