// The running-program check before the install procedures, against a real X
// server: the marker window program stands in for the product's window.
#include "support/Sandbox.h"

#include "app/UnattendedRun.h"
#include "app/WorkProcedures.h"
#include "common/Clock.h"
#include "common/MessageTable.h"
#include "engine/InstallEngine.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWait = 60000;  // only a guard against hangs

// Answers every question with a set answer and keeps what was asked.
class CAnsweringBox : public CMessageBox {
public:
    MessageAnswer answer = MessageAnswer::No;
    QStringList shown;
    MessageAnswer Show(const QString& text, const QString&, MessageIcon, MessageButtons buttons) override
    {
        shown << text;
        return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
    }
};

class CSilentView : public CProcedureView {
public:
    int pages = 0;
    void ShowPage(RunMode, WizardPage) override { ++pages; }
    void SetStatusText(StatusLine, const QString&) override {}
    void SetStepBar(int) override {}
    void SetOverallBar(int) override {}
    void EnableCancelButtons(bool) override {}
    void Repaint() override {}
    void Close(bool) override {}
};

class RunningProgramX11 : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        SetSystemLanguageId(kLangChinesePrc);
        SetPauseFunction([](int) {});
        product.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        product.start(QStringLiteral(NORVEX_MARKER_WINDOW), {QStringLiteral("202208")});
        while (!product.canReadLine() && product.state() != QProcess::NotRunning)
            product.waitForReadyRead(kWait);
        ASSERT_NE(product.readLine().trimmed().toUInt(), 0u);

        engine.Package.path = TESTS::FixturePath(QStringLiteral("sample/sample.cab"));
        ASSERT_TRUE(engine.Manifest.Load(TESTS::FixturePath(QStringLiteral("sample/Install.xml"))));
        engine.DetectPreviousInstall();
    }
    void TearDown() override
    {
        SetPauseFunction({});
        if (product.state() != QProcess::NotRunning) {
            product.kill();
            product.waitForFinished(kWait);
        }
    }

    QProcess product;
    CInstallEngine engine;
    const QString question = QStringLiteral(
        "Tessaly Label Cloud & Print 正在运行中，是否关闭 Tessaly Label Cloud & Print 后重试。");
};

TEST_F(RunningProgramX11, AsksAndStartsNothingWhileTheProductRuns)
{
    const struct {
        const char* name;
        MessageAnswer answer;
        bool closes;
    } cases[] = {{"No leaves it running", MessageAnswer::No, false},
                 {"Yes asks it to close", MessageAnswer::Yes, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAnsweringBox box;
        box.answer = c.answer;
        CSilentView view;
        CWorkProcedures procedures(engine, view, box);
        EXPECT_FALSE(procedures.CheckRunningProgram());
        EXPECT_EQ(box.shown, QStringList{question});
        EXPECT_EQ(view.pages, 0);
        if (c.closes) {
            ASSERT_TRUE(product.waitForFinished(kWait));
            // Once the window is gone the procedure may start.
            EXPECT_TRUE(procedures.CheckRunningProgram());
        } else {
            EXPECT_FALSE(product.waitForFinished(300));
        }
    }
}

TEST_F(RunningProgramX11, UnattendedRunStopsWithoutChangingAnything)
{
    CAnsweringBox box;
    box.answer = MessageAnswer::Yes;  // the console box would say No; neither may go on
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(CUnattendedRun(engine, box, out).Run(QString()), CUnattendedRun::kFailure);
    std::fclose(out);
    EXPECT_EQ(box.shown, QStringList{question});
    EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder));
}

}  // namespace
