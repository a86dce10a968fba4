// The work procedures driven against a recording view on a real engine in a
// sandbox root: order of steps, texts, bar positions, pauses, failure paths,
// the removal guard's report and the removal hand-over.
#include "support/CaseName.h"
#include "support/Recorders.h"
#include "support/Sandbox.h"

#include "app/WorkProcedures.h"
#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "engine/InstallEngine.h"
#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"
#include "platform/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using PLATFORM::RegRoot;

const QString kProduct = QStringLiteral("Tessaly Label Cloud & Print");

// Records every call as one line; pauses come through the clock. At each
// repaint it notes which effects of the engine steps are already on disk.
class CRecordingView : public CProcedureView, public CMessageBox {
public:
    std::vector<std::string> log;
    std::function<std::string()> probe = [] { return std::string(); };
    std::function<void()> onPump;
    bool answer = false;

    void Add(const QString& line) { log.push_back(line.toStdString()); }

    // The page as its place in the mode's table.
    void ShowPage(RunMode mode, WizardPage page) override
    {
        Add(QStringLiteral("page %1/%2").arg(int(mode)).arg(PageIndex(mode, page)));
    }
    void SetStatusText(StatusLine line, const QString& text) override
    {
        Add(QStringLiteral("%1=%2").arg(int(line)).arg(text));
    }
    void SetStepBar(int position) override { Add(QStringLiteral("step %1").arg(position)); }
    void SetOverallBar(int position) override { Add(QStringLiteral("overall %1").arg(position)); }
    void EnableCancelButtons(bool enable) override
    {
        Add(enable ? QStringLiteral("buttons on") : QStringLiteral("buttons off"));
    }
    void Repaint() override { log.push_back("repaint[" + probe() + "]"); }
    void Pump() override
    {
        log.push_back("pump");
        if (onPump)
            onPump();
        PumpMessages();
    }
    MessageAnswer Show(const QString& text, const QString& caption, MessageIcon icon,
                       MessageButtons buttons) override
    {
        EXPECT_TRUE(caption.isEmpty());
        if (buttons == MessageButtons::YesNo && icon == MessageIcon::Question) {
            Add(QStringLiteral("ask ") + text);
            return answer ? MessageAnswer::Yes : MessageAnswer::No;
        }
        EXPECT_EQ(buttons, MessageButtons::Ok);
        Add((icon == MessageIcon::Warning ? QStringLiteral("warning ") : QStringLiteral("message ")) + text);
        return MessageAnswer::Ok;
    }
    void Close(bool ok) override { Add(ok ? QStringLiteral("close ok") : QStringLiteral("close cancel")); }
};

using TESTS::CRecordingStarter;

// "*" in an expected log stands for any run (also none) of the step-bar moves
// and pauses that the engine's own operations make.
bool MatchLog(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& actual,
              size_t a)
{
    if (e == expected.size())
        return a == actual.size();
    if (expected[e] == "*") {
        if (MatchLog(expected, e + 1, actual, a))
            return true;
        const bool engineEvent =
            a < actual.size() && (actual[a].rfind("step ", 0) == 0 || actual[a].rfind("pause ", 0) == 0);
        return engineEvent && MatchLog(expected, e, actual, a + 1);
    }
    return a < actual.size() && expected[e] == actual[a] && MatchLog(expected, e + 1, actual, a + 1);
}

std::string Dump(const std::vector<std::string>& log)
{
    std::string out;
    for (const auto& line : log)
        out += "  " + line + "\n";
    return out;
}

#define EXPECT_LOG(expected, actual)                                               \
    EXPECT_TRUE(MatchLog(expected, 0, actual, 0)) << "expected:\n"                 \
                                                  << Dump(expected) << "actual:\n" \
                                                  << Dump(actual)

class WorkProceduresTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetSystemLanguageId(kLangChinesePrc);
        SetCancelFlag(false);
        SetPauseFunction([this](int ms) { view.log.push_back("pause " + std::to_string(ms)); });
        engine.Package.path = TESTS::SandboxPath(QStringLiteral("pkg/setup.cab"));
        TESTS::WriteFileBytes(engine.Package.path,
                              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/sample.cab"))));
        ASSERT_TRUE(engine.Manifest.Load(TESTS::FixturePath(QStringLiteral("sample/Install.xml"))));
        engine.DetectPreviousInstall();
        view.probe = [this] { return Effects(); };
    }
    void TearDown() override
    {
        SetPauseFunction({});
        SetCancelFlag(false);
    }

    // F: the main program is installed; R: the manifest's HKCU key is written;
    // S: the menu entries exist; U: the uninstall entry is registered.
    std::string Effects() const
    {
        std::string s;
        if (QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")))
            s += 'F';
        if (!RegQueryString(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\LabelCloud\\Settings"),
                            QStringLiteral("Theme"))
                 .isEmpty())
            s += 'R';
        if (QFileInfo::exists(PLATFORM::ProgramsMenuFolder() + kProduct + QStringLiteral("/")))
            s += 'S';
        if (!RegQueryString(
                 RegRoot::LocalMachine,
                 QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelCloud"),
                 QStringLiteral("DisplayName"))
                 .isEmpty())
            s += 'U';
        return s;
    }

    // A finished installation to remove, as a removal run would find it.
    void Installed()
    {
        CRecordingView quiet;
        CWorkProcedures(engine, quiet, quiet).Install();
        engine.Mode = RunMode::DoUninstall;
        engine.DetectPreviousInstall();
        ASSERT_TRUE(engine.PreviousInstallFound);
        view.log.clear();
    }

    static QStringList TempFiles() { return QDir(GetTempDirectory()).entryList(QDir::Files | QDir::Hidden); }

    CInstallEngine engine;
    CRecordingView view;
};

TEST_F(WorkProceduresTest, InstallRunsItsStepsInOrder)
{
    EXPECT_EQ(CWorkProcedures(engine, view, view).Install(), ProcedureResult::Completed);
    const std::string installing = "1004=安装 Tessaly Label Cloud & Print";
    EXPECT_LOG((std::vector<std::string>{"page 0/3",
                                         "1003=正在准备 安装文件 ...",
                                         "1004=准备文件",
                                         "repaint[]",
                                         "buttons off",
                                         "pause 1000",
                                         "1003=正在安装程序文件 ...",
                                         installing,
                                         "overall 40",
                                         "repaint[]",
                                         "pump",
                                         "pause 1000",
                                         "*",
                                         "1003=正在注册程序信息 ...",
                                         installing,
                                         "overall 70",
                                         "repaint[F]",
                                         "pump",
                                         "pause 1000",
                                         "1003=正在创建快捷方式 ...",
                                         installing,
                                         "overall 90",
                                         "repaint[FR]",
                                         "pump",
                                         "pause 500",
                                         "1003=正在创建卸载信息 ...",
                                         installing,
                                         "overall 100",
                                         "repaint[FRS]",
                                         "pump",
                                         "pause 500",
                                         "buttons on",
                                         "page 0/4"}),
               view.log);
    EXPECT_EQ(Effects(), "FRSU");
    EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("uninstall.xml")));
}

TEST_F(WorkProceduresTest, UpgradeKeepsItsStepLineAndReportsStepsBelow)
{
    engine.Mode = RunMode::Upgrade;
    EXPECT_EQ(CWorkProcedures(engine, view, view).Upgrade(), ProcedureResult::Completed);
    const std::string line = "1003=正在下载  升级文件 ...";
    EXPECT_LOG((std::vector<std::string>{"page 1/1",
                                         line,
                                         "1004=准备文件",
                                         "repaint[]",
                                         "buttons off",
                                         "pause 1000",
                                         line,
                                         "1004=正在升级程序文件 ...",
                                         "overall 40",
                                         "repaint[]",
                                         "pump",
                                         "pause 1000",
                                         "*",
                                         line,
                                         "1004=正在注册程序信息 ...",
                                         "overall 70",
                                         "repaint[F]",
                                         "pump",
                                         "pause 1000",
                                         line,
                                         "1004=正在创建快捷方式 ...",
                                         "overall 90",
                                         "repaint[FR]",
                                         "pump",
                                         "pause 500",
                                         line,
                                         "1004=正在创建卸载信息 ...",
                                         "overall 100",
                                         "repaint[FRS]",
                                         "pump",
                                         "pause 500",
                                         "buttons on",
                                         "page 1/2"}),
               view.log);
    EXPECT_EQ(Effects(), "FRSU");
}

TEST_F(WorkProceduresTest, RepairHasNoPausesNoPumpsAndRegistersAfterTheShortcuts)
{
    engine.Mode = RunMode::Repair;
    EXPECT_EQ(CWorkProcedures(engine, view, view).Repair(), ProcedureResult::Completed);
    EXPECT_LOG(
        (std::vector<std::string>{"page 2/1", "1003=正在修复程序文件 ...", "1004=", "buttons off",
                                  "repaint[]", "*", "overall 70", "repaint[F]", "overall 90", "repaint[FR]",
                                  "overall 100", "repaint[FRS]", "buttons on", "page 2/2"}),
        view.log);
    for (const auto& line : view.log)
        EXPECT_NE(line, "pump");
    // The registration came after the shortcut step, so the icon is known.
    EXPECT_EQ(
        RegQueryString(RegRoot::LocalMachine,
                       QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelCloud"),
                       QStringLiteral("DisplayIcon")),
        engine.InstallFolder + QStringLiteral("LabelCloud"));
}

// Every way the file step can fail ends the same: 1106 with the reason on the
// line after it, the view closed with OK, the buttons left disabled, nothing
// after the file step done.
struct FailureCase {
    const char* name;
    RunMode mode;
    bool damagePackage;  // else: cancelled through the flag
    const char* reason;
};

constexpr char kNotADatabase[] = "file is not a database";

class FileStepFailureTest : public WorkProceduresTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FileStepFailureTest, StopsWith1106)
{
    const FailureCase& c = GetParam();
    if (c.damagePackage) {
        // A package without its manifest's files.
        QFile::remove(engine.Package.path);
        TESTS::WriteFileBytes(engine.Package.path, QByteArray("not a package"));
    } else if (c.mode == RunMode::Repair) {
        // The repair neither pumps nor resets the flag: a cancel already
        // confirmed stops its file step.
        SetCancelFlag(true);
    } else {
        // The cancel confirmed while the procedure pumps.
        view.onPump = [] { SetCancelFlag(true); };
    }
    engine.Mode = c.mode;
    CWorkProcedures procedures(engine, view, view);
    const ProcedureResult result = c.mode == RunMode::Install ? procedures.Install()
        : c.mode == RunMode::Upgrade                          ? procedures.Upgrade()
                                                              : procedures.Repair();
    EXPECT_EQ(result, ProcedureResult::Failed);
    ASSERT_GE(view.log.size(), 2u);
    const QString warning = QString::fromStdString(view.log[view.log.size() - 2]);
    const QStringList lines = warning.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << warning.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("warning 安装程序时出现意外的错误，无法完成安装过程，请稍后重试！"));
    EXPECT_EQ(lines[1], engine.LastError().Text());
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("cannot ")));
    EXPECT_TRUE(lines[1].endsWith(QString::fromLatin1(c.reason))) << lines[1].toStdString();
    EXPECT_EQ(view.log.back(), "close ok");
    for (const auto& line : view.log)
        EXPECT_NE(line, "buttons on");
    EXPECT_EQ(Effects().find_first_of("RSU"), std::string::npos) << Effects();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileStepFailureTest,
    testing::Values(FailureCase{"InstallDamaged", RunMode::Install, true, kNotADatabase},
                    FailureCase{"InstallCancelled", RunMode::Install, false, "cancelled"},
                    FailureCase{"UpgradeDamaged", RunMode::Upgrade, true, kNotADatabase},
                    FailureCase{"UpgradeCancelled", RunMode::Upgrade, false, "cancelled"},
                    FailureCase{"RepairDamaged", RunMode::Repair, true, kNotADatabase},
                    FailureCase{"RepairCancelled", RunMode::Repair, false, "cancelled"}),
    TESTS::CaseName());

// A file that cannot be put back is named after 1106 and its reason, with
// where the previous file is kept; the other files come back.
TEST_F(WorkProceduresTest, RollbackThatCannotRestoreAFileSaysWhich)
{
    Installed();
    const QString program = engine.InstallFolder + QStringLiteral("LabelCloud");
    const QString readme = engine.InstallFolder + QStringLiteral("doc/readme.txt");
    TESTS::WriteFileBytes(readme, "edited");
    TESTS::WriteFileBytes(program, "the older program");
    engine.Mode = RunMode::Upgrade;
    // Once the new program is in place, something puts a folder there that
    // no rename can replace, and the user cancels.
    SetPumpMessagesHook([&] {
        const QStringList kept =
            QDir(engine.InstallFolder).entryList({QStringLiteral(".nvxkeep*")}, QDir::Files | QDir::Hidden);
        struct stat now {};
        struct stat before {};
        if (kept.isEmpty() || ::stat(QFile::encodeName(program).constData(), &now) != 0
            || S_ISDIR(now.st_mode)
            || ::stat(QFile::encodeName(engine.InstallFolder + kept[0]).constData(), &before) != 0
            || now.st_ino == before.st_ino)
            return;  // the new program is not in place yet
        QFile::remove(program);
        QDir().mkpath(program + QStringLiteral("/in-the-way"));
        SetCancelFlag(true);
    });
    EXPECT_EQ(CWorkProcedures(engine, view, view).Upgrade(), ProcedureResult::Failed);
    SetPumpMessagesHook(nullptr);
    const QStringList lines = QString::fromStdString(view.log[view.log.size() - 2]).split(u'\n');
    ASSERT_EQ(lines.size(), 4) << view.log[view.log.size() - 2];
    EXPECT_EQ(lines[2], QStringLiteral("已撤销的更改中有以下几项无法恢复，请手动处理："));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("cannot restore ") + program
                                    + QStringLiteral(" (the previous file is kept as ") + engine.InstallFolder
                                    + QStringLiteral(".nvxkeep")))
        << lines[3].toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(readme), "edited");
}

// The shortcut page's step says in one warning which links it left out and
// which it could not write; the others are made.
TEST_F(WorkProceduresTest, ShortcutsLeftOutOrNotWrittenAreSaid)
{
    ASSERT_EQ(CWorkProcedures(engine, view, view).Install(), ProcedureResult::Completed);
    CInstShortcutInfo bad;
    bad.path = QStringLiteral(
        "$intallpath$\\Label\x1b"
        "Cloud");
    bad.name = QStringLiteral("Bad");
    bad.type = QStringLiteral("other");
    bad.lnk = QStringLiteral("Bad.lnk");
    engine.Manifest.shortcut.push_back(bad);
    // Where the desktop copy would go, a file stands in the way.
    const QString desktop = PLATFORM::DesktopFolder();
    QDir(desktop).removeRecursively();
    TESTS::WriteFileBytes(desktop.chopped(1), "not a folder");
    view.log.clear();

    CWorkProcedures(engine, view, view).CreateShortcuts(true, false);
    ASSERT_EQ(view.log.size(), 1u);
    const QStringList lines = QString::fromStdString(view.log[0]).split(u'\n');
    ASSERT_EQ(lines.size(), 3) << view.log[0];
    EXPECT_EQ(lines[0], QStringLiteral("warning 快捷方式“Bad.lnk”的目标含有控制字符，因此没有创建。"));
    EXPECT_EQ(lines[1], QStringLiteral("以下快捷方式无法创建："));
    EXPECT_TRUE(lines[2].contains(desktop.chopped(1))) << lines[2].toStdString();
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::ProgramsMenuFolder() + kProduct + QStringLiteral("/")));

    // Nothing to say when all is made.
    engine.Manifest.shortcut.pop_back();
    ASSERT_TRUE(QFile::remove(desktop.chopped(1)));
    view.log.clear();
    CWorkProcedures(engine, view, view).CreateShortcuts(true, false);
    EXPECT_TRUE(view.log.empty());
}

// A check before the first write that fails tells why and leaves the view
// on its page, so the user can pick another folder.
TEST_F(WorkProceduresTest, InstallFolderThatCannotBeMadeStopsBeforeAnything)
{
    const QString blocker = TESTS::SandboxPath(QStringLiteral("blocker"));
    TESTS::WriteFileBytes(blocker, "a file");
    engine.InstallFolder = blocker + QStringLiteral("/LabelCloud/");
    EXPECT_EQ(CWorkProcedures(engine, view, view).Install(), ProcedureResult::NotStarted);
    EXPECT_EQ(view.log,
              (std::vector<std::string>{("warning 无法在文件夹“" + engine.InstallFolder
                                         + "”中安装：Not a directory。请选择其他文件夹后重试。")
                                            .toStdString()}));
    EXPECT_EQ(Effects(), "");
}

TEST_F(WorkProceduresTest, InstallResetsAnEarlierCancel)
{
    SetCancelFlag(true);
    EXPECT_EQ(CWorkProcedures(engine, view, view).Install(), ProcedureResult::Completed);
}

TEST_F(WorkProceduresTest, RemovalRunsItsStepsInOrder)
{
    Installed();
    const QString folder = engine.PreviousInstallPath;
    EXPECT_EQ(CWorkProcedures(engine, view, view).Remove(), ProcedureResult::Completed);
    const std::string overall = "1004=卸载 Tessaly Label Cloud & Print";
    EXPECT_LOG((std::vector<std::string>{"page 4/2",
                                         overall,
                                         "buttons off",
                                         "1003=正在删除程序文件 ...",
                                         overall,
                                         "overall 10",
                                         "repaint[FRSU]",
                                         "pump",
                                         "pause 500",
                                         "1003=正在移除注册程序信息 ...",
                                         overall,
                                         "overall 50",
                                         "repaint[RSU]",
                                         "pump",
                                         "*",
                                         "pause 500",
                                         "1003=正在移除快捷方式 ...",
                                         overall,
                                         "overall 90",
                                         "repaint[S]",
                                         "pump",
                                         "pause 500",
                                         "overall 100",
                                         "repaint[]",
                                         "pump",
                                         "pause 100",
                                         "buttons on",
                                         "page 4/3"}),
               view.log);
    EXPECT_FALSE(QFileInfo::exists(folder));
    // Without the user-data step the per-user key stays with empty values.
    EXPECT_TRUE(PLATFORM::CRegistry::KeyExists(RegRoot::CurrentUser, engine.ProductKey));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, engine.ProductKey, QStringLiteral("InstallPath")),
              QString());
}

// The guard refuses folders that are not plainly the product's own; the user
// hears which folder stayed and the rest of the removal still happens.
TEST_F(WorkProceduresTest, RefusedInstallFolderIsReportedAndTheRemovalGoesOn)
{
    Installed();
    const struct {
        const char* name;
        QString folder;
    } cases[] = {
        {"home", PLATFORM::HomeFolder()},
        {"program files", PLATFORM::ProgramFilesFolder()},
        {"no manifest inside", TESTS::SandboxPath(QStringLiteral("elsewhere/"))},
        {"empty", QString()},
    };
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("elsewhere/keep")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        view.log.clear();
        engine.PreviousInstallPath = c.folder;
        EXPECT_EQ(CWorkProcedures(engine, view, view).Remove(), ProcedureResult::Incomplete);
        const std::string message = "warning 文件夹“" + c.folder.toStdString()
            + "”看起来不是本产品的安装文件夹，因此未被删除。如果不再需要，请自行删除。";
        // Told right after the folder step, before the registration step.
        const auto at = std::find(view.log.begin(), view.log.end(), message);
        ASSERT_NE(at, view.log.end()) << Dump(view.log);
        EXPECT_EQ(*(at - 1), "pause 500");
        EXPECT_EQ(*(at + 1), "1003=正在移除注册程序信息 ...");
        EXPECT_EQ(view.log.back(), "page 4/3");
    }
    EXPECT_TRUE(QFileInfo::exists(TESTS::SandboxPath(QStringLiteral("elsewhere/keep"))));
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::HomeFolder()));
    // The registration and the shortcuts went all the same.
    EXPECT_EQ(Effects(), "F");
}

TEST_F(WorkProceduresTest, RefusalMessageFollowsTheLanguage)
{
    Installed();
    engine.PreviousInstallPath = QString();
    SetSystemLanguageId(kLangEnglishUs);
    CWorkProcedures(engine, view, view).Remove();
    bool found = false;
    for (const auto& line : view.log)
        found = found || line == "warning The folder \"\" was not deleted because it does not look like "
                                 "this product's installation folder. Delete it yourself if you no longer need it.";
    EXPECT_TRUE(found) << Dump(view.log);
}

TEST_F(WorkProceduresTest, UserDataRemovalThenTheRemovalCopyDeletesItself)
{
    Installed();
    CRecordingView quiet;
    CWorkProcedures(engine, quiet, quiet).Remove();
    const QString dataFile = engine.AppDataFolder + QStringLiteral("Templates/own.dat");
    TESTS::WriteFileBytes(dataFile, "mine");

    struct {
        const char* name;
        QString modulePath;
        bool deleted;
    } cases[] = {
        {"removal copy in the temporary folder", GetTempDirectory() + QStringLiteral("UNabc123.tmp"), true},
        {"installer elsewhere", TESTS::SandboxPath(QStringLiteral("Downloads/setup")), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TESTS::WriteFileBytes(c.modulePath, "#!/bin/sh\n");
        engine.ModulePath = c.modulePath;
        view.log.clear();
        EXPECT_EQ(CWorkProcedures(engine, view, view).RemoveUserData(), ProcedureResult::Completed);
        EXPECT_LOG((std::vector<std::string>{"page 4/4",    "1003=正在删除用户文件 ...",
                                             "buttons off", "step 10",
                                             "repaint[]",   "pump",
                                             "pause 300",   "*",
                                             "step 50",     "repaint[]",
                                             "pump",        "pause 300",
                                             "step 80",     "repaint[]",
                                             "pump",        "pause 300",
                                             "step 100",    "repaint[]",
                                             "pump",        "pause 100",
                                             "buttons on",  "page 4/5"}),
                   view.log);
        EXPECT_EQ(QFileInfo::exists(c.modulePath), !c.deleted);
    }
    EXPECT_FALSE(PLATFORM::CRegistry::KeyExists(RegRoot::CurrentUser, engine.ProductKey));
    EXPECT_FALSE(QFileInfo::exists(engine.AppDataFolder));
}

TEST_F(WorkProceduresTest, HandOverReusesTheReservedTemporaryFile)
{
    engine.ModulePath = TESTS::SandboxPath(QStringLiteral("opt/Tessaly/LabelCloud/uninstall.exe"));
    engine.ModuleFolder = TESTS::SandboxPath(QStringLiteral("opt/Tessaly/LabelCloud/"));
    const QByteArray program = QByteArray("#!/bin/sh\necho removal\n") + QByteArray(200000, 'x');
    TESTS::WriteFileBytes(engine.ModulePath, program);
    CRecordingStarter starter;
    CWorkProcedures procedures(engine, view, view);
    procedures.Programs = &starter;
    ASSERT_TRUE(procedures.HandOverRemoval());
    ASSERT_EQ(starter.starts.size(), 1u);
    const QString started = starter.starts[0].path;
    const QStringList arguments = starter.starts[0].arguments;

    // Exactly one temporary file, the started copy: no empty reservation left.
    EXPECT_EQ(TempFiles(), QStringList{QFileInfo(started).fileName()});
    EXPECT_TRUE(QFileInfo(started).fileName().startsWith(QStringLiteral("UN")));
    EXPECT_EQ(TESTS::ReadFileBytes(started), program);
    const QFile::Permissions ownerGroupOther(0x7077);
    EXPECT_EQ(QFileInfo(started).permissions() & ownerGroupOther,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(arguments,
              (QStringList{QStringLiteral("-douninstall"), engine.ModuleFolder + "uninstall.xml"}));
    EXPECT_EQ(view.log, std::vector<std::string>{"close ok"});
}

TEST_F(WorkProceduresTest, FailedHandOverLeavesNothingAndKeepsThePage)
{
    const struct {
        const char* name;
        bool programExists;
        bool startWorks;
        const char* reason;
    } cases[] = {{"copy fails", false, true, "/bin/uninstall.exe: No such file or directory"},
                 {"start fails", true, false, "the program did not start"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.ModulePath = TESTS::SandboxPath(QStringLiteral("bin/uninstall.exe"));
        QFile::remove(engine.ModulePath);
        if (c.programExists)
            TESTS::WriteFileBytes(engine.ModulePath, "#!/bin/sh\n");
        CRecordingStarter starter;
        starter.works = c.startWorks;
        CWorkProcedures procedures(engine, view, view);
        procedures.Programs = &starter;
        engine.ClearLastError();
        EXPECT_FALSE(procedures.HandOverRemoval());
        EXPECT_TRUE(engine.LastError().Text().contains(QString::fromLatin1(c.reason)))
            << engine.LastError().Text().toStdString();
        EXPECT_EQ(TempFiles(), QStringList());
        EXPECT_TRUE(view.log.empty());
    }
}

// A main program that cannot run itself (a document, a lost run bit) opens
// with the desktop's handler instead of failing without a word.
TEST_F(WorkProceduresTest, FinishActionsStartTheProductOnlyWhenAsked)
{
    const QString program = TESTS::SandboxPath(QStringLiteral("opt/Tessaly/LabelCloud/LabelCloud"));
    const struct {
        const char* name;
        bool start;
        QFile::Permissions mode;
        const char* how;
    } cases[] = {
        {"runnable", true, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner, "run"},
        {"not runnable", true, QFile::ReadOwner | QFile::WriteOwner, "open"},
        {"not asked", false, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TESTS::WriteFileBytes(program, "#!/bin/sh\n");
        QFile::setPermissions(program, c.mode);
        engine.Manifest.mainprogPath = program;
        view.log.clear();
        CRecordingStarter starter;
        CWorkProcedures procedures(engine, view, view);
        procedures.Programs = &starter;
        procedures.FinishActions(true, c.start);
        const std::vector<CRecordingStarter::Start> expected = c.how
            ? std::vector<CRecordingStarter::Start>{{QString::fromLatin1(c.how), program, {}}}
            : std::vector<CRecordingStarter::Start>{};
        EXPECT_EQ(starter.starts, expected);
        EXPECT_EQ(view.log, std::vector<std::string>{"close ok"});
    }
}

}  // namespace
