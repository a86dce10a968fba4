// Test doubles shared by the test programs: a message box and a program
// starter that record what they are asked instead of reaching the desktop.
#pragma once

#include "app/MessageBox.h"
#include "platform/ProgramStarter.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace TESTS {

// Records every box and answers from a queue, then Ok (No for questions).
// A captionless box fails the test when a box brings a caption of its own.
class CRecordingMessageBox : public CMessageBox {
public:
    struct Shown {
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
    };
    enum class Captions { Any, None };

    explicit CRecordingMessageBox(Captions captions = Captions::Any) : m_captions(captions) {}

    MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                       MessageButtons buttons) override
    {
        if (m_captions == Captions::None) {
            EXPECT_TRUE(caption.isEmpty()) << caption.toStdString() << ": " << text.toStdString();
        }
        shown.push_back({text, caption, icon, buttons});
        if (!answers.empty()) {
            const MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }

    std::deque<MessageAnswer> answers;
    std::vector<Shown> shown;

private:
    Captions m_captions;
};

// Records what would be started or opened instead of doing it; works decides
// what the calls report.
class CRecordingStarter : public PLATFORM::CProgramStarter {
public:
    struct Start {
        QString how;  // "run" or "open"
        QString path;
        QStringList arguments;
        bool operator==(const Start&) const = default;
    };

    bool StartDetached(const QString& program, const QStringList& arguments) override
    {
        starts.push_back({QStringLiteral("run"), program, arguments});
        return works;
    }
    bool OpenWithHandler(const QString& documentOrUrl) override
    {
        starts.push_back({QStringLiteral("open"), documentOrUrl, {}});
        return works;
    }

    std::vector<Start> starts;
    bool works = true;
};

}  // namespace TESTS
