#include "UpdateTestSupport.h"

#include "support/CaseName.h"
#include "support/Process.h"

#include "engine/InstallEngine.h"
#include "engine/RegistryHelpers.h"
#include "platform/ProgramStarter.h"
#include "platform/TempFiles.h"
#include "update/CompanionEditor.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include <unistd.h>

using namespace UPDATETEST;
using PLATFORM::RegRoot;

namespace {

const QString kKey = QString::fromUtf16(kCompanionKey);
const QString kQuestion = QStringLiteral(
    u"如果需要在本程序中直接编辑标签，则需要安装 QuenbyTessaly 标签编辑程序。\r\n\r\n"
    u"是否安装 QuenbyTessaly ，实现标签编辑功能？");
const QString kNotInstalled = QStringLiteral(
    u"QuenbyTessaly 标签编辑程序 未能正常安装。您可以随时重新运行此安装程序，安装标签编辑功能 ！");

// The probe: the manifest's wish and what the companion recorded.
struct ProbeCase {
    int tessaly;
    std::optional<const char*> installPath;
    std::optional<const char*> version;
    bool needed;
};

void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << "tessaly " << c.tessaly << ", InstallPath " << (c.installPath ? *c.installPath : "(none)")
        << ", Version " << (c.version ? *c.version : "(none)");
}

class CompanionProbeTest : public testing::TestWithParam<ProbeCase> {};

TEST_P(CompanionProbeTest, ComparesTheRecordedVersionAsText)
{
    const ProbeCase& c = GetParam();
    if (c.installPath) {
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kKey, *c.installPath, QStringLiteral("InstallPath")));
    }
    if (c.version) {
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kKey, *c.version, QStringLiteral("Version")));
    }
    CInstallEngine engine;
    engine.Manifest.info.tessaly = c.tessaly;
    CRecordingMessageBox messageBox;
    CRecordingWindow window;
    EXPECT_EQ(CCompanionEditor(engine, messageBox, window).NeedCompanionEditor(), c.needed);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, CompanionProbeTest,
    testing::Values(
        ProbeCase{0, std::nullopt, std::nullopt, false}, ProbeCase{0, "/opt/Tessaly/", "1.0", false},
        ProbeCase{1, std::nullopt, std::nullopt, true}, ProbeCase{1, "", "5.21.1625.36", true},
        ProbeCase{1, "/opt/Tessaly/", std::nullopt, true}, ProbeCase{1, "/opt/Tessaly/", "", true},
        ProbeCase{1, "/opt/Tessaly/", "5.21.1625.36", false}, ProbeCase{1, "/opt/Tessaly/", "5.3", false},
        ProbeCase{1, "/opt/Tessaly/", "5.21.1625.4", false}, ProbeCase{1, "/opt/Tessaly/", "6", false},
        ProbeCase{1, "/opt/Tessaly/", "10.0", true}, ProbeCase{1, "/opt/Tessaly/", "5.21.1625.100", true},
        ProbeCase{1, "/opt/Tessaly/", "5.21.1625.35", true}, ProbeCase{-1, "/opt/Tessaly/", "5.2", true}));

// A package carrying a companion installer (a shell script) made with the
// project's packer, and an engine pointed at it.
class CompanionInstallTest : public testing::Test {
protected:
    // records: whether the companion installer records itself.
    void MakePackage(bool records, bool withInstaller = true)
    {
        const QString package = TESTS::SandboxPath("companion-test.cab");
        ASSERT_TRUE(MakeCompanionPackage(QStringLiteral(NORVEX_PACK_EXE), QStringLiteral(NORVEX_REG_EXE),
                                         package, seenPackage, companionPackage, records, withInstaller));
        engine.Package.path = package;
        engine.Manifest.info.tessaly = 1;
    }

    void SetUp() override
    {
        editor.RunElevated = [this](const QString& program) {
            window.events << "run";
            runs << program;
            // As root, or without pkexec, the real elevated start is a plain
            // start; elsewhere pkexec would need someone to answer it.
            if (::geteuid() == 0 || QStandardPaths::findExecutable("pkexec").isEmpty())
                return PLATFORM::SystemProgramStarter().StartElevatedAndWait(program, {}).has_value();
            return QProcess::execute(program, {}) >= 0;
        };
    }

    static QStringList TempEntries() { return FolderEntries(GetTempDirectory()); }

    const QByteArray companionPackage = "the companion's own package";
    const QString seenPackage = TESTS::SandboxPath("companion-saw-package");
    CInstallEngine engine;
    CRecordingMessageBox messageBox;
    CRecordingWindow window;
    CCompanionEditor editor{engine, messageBox, window};
    QStringList runs;
};

TEST_F(CompanionInstallTest, InstallsWhileTheWizardIsHidden)
{
    MakePackage(true);
    ASSERT_TRUE(editor.NeedCompanionEditor());
    EXPECT_TRUE(editor.InstallCompanionEditor(true));

    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_EQ(window.events, (QStringList{"hide", "run", "show"}));
    EXPECT_EQ(runs, QStringList{GetTempDirectory() + "tessaly_vl.exe"});
    EXPECT_EQ(TESTS::ReadFileBytes(seenPackage), companionPackage);
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "Version"), "5.21.1625.36");
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "InstallPath"), TESTS::SandboxPath("opt/Tessaly/"));
    EXPECT_FALSE(editor.NeedCompanionEditor());
    EXPECT_TRUE(TempEntries().isEmpty());
}

// Unticked on the finish page: the question decides.
struct QuestionCase {
    MessageAnswer answer;
    bool result;
};

void PrintTo(const QuestionCase& c, std::ostream* os)
{
    *os << (c.answer == MessageAnswer::Yes ? "Yes" : "No");
}

class CompanionQuestionTest : public CompanionInstallTest,
                              public testing::WithParamInterface<QuestionCase> {};

TEST_P(CompanionQuestionTest, AsksFirst)
{
    MakePackage(true);
    messageBox.answers = {GetParam().answer};
    EXPECT_EQ(editor.InstallCompanionEditor(false), GetParam().result);
    ASSERT_EQ(messageBox.shown.size(), 1u);
    EXPECT_EQ(messageBox.shown[0].text, kQuestion);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(messageBox.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(runs.size(), GetParam().result ? 1 : 0);
    EXPECT_EQ(editor.NeedCompanionEditor(), !GetParam().result);
    EXPECT_TRUE(TempEntries().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Answers, CompanionQuestionTest,
                         testing::Values(QuestionCase{MessageAnswer::No, false},
                                         QuestionCase{MessageAnswer::Yes, true}));

// Whatever went wrong, the user is warned and no file stays behind.
struct FailureCase {
    const char* name;
    bool records;
    bool withInstaller;
    bool startWorks;
    QStringList events;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class CompanionFailureTest : public CompanionInstallTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(CompanionFailureTest, WarnsAndCleansUp)
{
    const FailureCase& c = GetParam();
    MakePackage(c.records, c.withInstaller);
    if (!c.startWorks)
        editor.RunElevated = [this](const QString&) {
            window.events << "run";
            return false;
        };
    EXPECT_TRUE(editor.InstallCompanionEditor(true));
    ASSERT_EQ(messageBox.shown.size(), 1u);
    EXPECT_EQ(messageBox.shown[0].text, kNotInstalled);
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messageBox.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(window.events, c.events);
    EXPECT_TRUE(TempEntries().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CompanionFailureTest,
    testing::Values(FailureCase{"RecordsNothing", false, true, true, {"hide", "run", "show"}},
                    FailureCase{"StartRefused", true, true, false, {"hide", "run", "show"}},
                    FailureCase{"NoInstallerInPackage", true, false, true, {}}),
    TESTS::CaseName());

}  // namespace
