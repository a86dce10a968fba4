// Switches, the path argument and the file-name rule.
#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct ParseCase {
    const char* name;
    QStringList arguments;
    QString modulePath;
    RunMode mode;
    QString pathArgument;
    bool silent = false;
    QString logPath = {};
};

void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParse, GivesModePathAndFlags)
{
    const ParseCase& c = GetParam();
    const CCommandLine line = CCommandLine::Parse(c.arguments, c.modulePath);
    EXPECT_EQ(line.mode, c.mode);
    EXPECT_EQ(line.pathArgument, c.pathArgument);
    EXPECT_EQ(line.silent, c.silent);
    EXPECT_EQ(line.logPath, c.logPath);
}

const QString kSetup = QStringLiteral("/home/u/Downloads/norvexsetup");
const QString kInstalledCopy = QStringLiteral("/home/u/.local/opt/Tessaly/X/Uninstall.EXE");
const QString kManifest = QStringLiteral("/home/u/.local/opt/Tessaly/X/uninstall.xml");

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParse,
    testing::Values(
        ParseCase{"NoArguments", {}, kSetup, RunMode::Install, {}},
        ParseCase{"SlashUpperCase", {"/UPGRADE"}, kSetup, RunMode::Upgrade, {}},
        ParseCase{"DashMixedCase", {"-Upgrade"}, kSetup, RunMode::Upgrade, {}},
        ParseCase{"UnknownDashSwitchIgnored", {"-foo"}, kSetup, RunMode::Install, {}},
        ParseCase{"UnknownSwitchKeepsEarlierMode", {"-repair", "-foo"}, kSetup, RunMode::Repair, {}},
        ParseCase{"LastSwitchWins", {"-install", "-repair"}, kSetup, RunMode::Repair, {}},
        ParseCase{
            "DoUninstallWithPath", {"-douninstall", kManifest}, kSetup, RunMode::DoUninstall, kManifest},
        ParseCase{"SlashPathIsNotASwitch", {"/upgrades/x.xml"}, kSetup, RunMode::Install, "/upgrades/x.xml"},
        ParseCase{"SlashNamedLikeSwitchPlusFolder", {"/repair/"}, kSetup, RunMode::Install, "/repair/"},
        ParseCase{"SlashAlone", {"/"}, kSetup, RunMode::Install, "/"},
        ParseCase{"DashAloneIgnored", {"-"}, kSetup, RunMode::Install, {}},
        ParseCase{"QuotedPath",
                  {"-uninstall", "\"/tmp/a b/uninstall.xml\""},
                  kSetup,
                  RunMode::Uninstall,
                  "/tmp/a b/uninstall.xml"},
        ParseCase{"SeveralQuotesBothEnds", {"\"\"/x/y\"\"\""}, kSetup, RunMode::Install, "/x/y"},
        ParseCase{"InnerQuotesKept", {"/x/\"y\"/z"}, kSetup, RunMode::Install, "/x/\"y\"/z"},
        ParseCase{
            "LastPathWins", {"/a.xml", "-douninstall", "/b.xml"}, kSetup, RunMode::DoUninstall, "/b.xml"},
        ParseCase{"FileNameRuleOverridesSwitch", {"-install"}, kInstalledCopy, RunMode::Uninstall, {}},
        ParseCase{"FileNameRuleOverridesDoUninstall",
                  {"-douninstall", kManifest},
                  kInstalledCopy,
                  RunMode::Uninstall,
                  kManifest},
        ParseCase{"FileNameRuleInFolderName", {}, "/x/uninstall.exe.d/norvexsetup", RunMode::Uninstall, {}},
        ParseCase{"RemovalCopyKeepsItsSwitch",
                  {"-douninstall", kManifest},
                  "/run/user/1000/norvex/UNa1b2c3.tmp.exe",
                  RunMode::DoUninstall,
                  kManifest},
        ParseCase{"SilentDash", {"-silent"}, kSetup, RunMode::Install, {}, true},
        ParseCase{"SilentSlashAnyCase", {"/SILENT", "-repair"}, kSetup, RunMode::Repair, {}, true},
        ParseCase{"SilentWithFileNameRule", {"-Silent"}, kInstalledCopy, RunMode::Uninstall, {}, true},
        ParseCase{"LogTakesTheNextArgument",
                  {"-log", "/var/tmp/run.log", "-silent"},
                  kSetup,
                  RunMode::Install,
                  {},
                  true,
                  "/var/tmp/run.log"},
        ParseCase{"LogSlashAnyCaseWithPath",
                  {"/LOG", "run.log", "/opt/x"},
                  kSetup,
                  RunMode::Install,
                  "/opt/x",
                  false,
                  "run.log"},
        ParseCase{"LogValueThatLooksLikeASwitch",
                  {"-log", "-repair"},
                  kSetup,
                  RunMode::Install,
                  {},
                  false,
                  "-repair"},
        ParseCase{"LogWithoutValueIgnored", {"-repair", "-log"}, kSetup, RunMode::Repair, {}, false, {}},
        ParseCase{
            "LastLogWins", {"-log", "a.log", "-log", "b.log"}, kSetup, RunMode::Install, {}, false, "b.log"}),
    TESTS::CaseName());

// Help, double dashes, the log file and the switches no name matched.
struct SwitchCase {
    const char* name;
    QStringList arguments;
    bool help;
    bool silent;
    QString logPath;
    QStringList unknown;
    QString withoutValue;
    QString pathArgument;
    RunMode mode = RunMode::Install;
};

void PrintTo(const SwitchCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineSwitches : public testing::TestWithParam<SwitchCase> {};

TEST_P(CommandLineSwitches, AreSortedIntoTheirFields)
{
    const SwitchCase& c = GetParam();
    const CCommandLine line = CCommandLine::Parse(c.arguments, kSetup);
    EXPECT_EQ(line.help, c.help);
    EXPECT_EQ(line.silent, c.silent);
    EXPECT_EQ(line.logPath, c.logPath);
    EXPECT_EQ(line.unknownSwitches, c.unknown);
    EXPECT_EQ(line.switchWithoutValue, c.withoutValue);
    EXPECT_EQ(line.pathArgument, c.pathArgument);
    EXPECT_EQ(line.mode, c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineSwitches,
    testing::Values(
        SwitchCase{"DashHelp", {"-help"}, true, false, {}, {}, {}, {}},
        SwitchCase{"DoubleDashHelp", {"--help"}, true, false, {}, {}, {}, {}},
        SwitchCase{"SlashHelpUpperCase", {"/HELP"}, true, false, {}, {}, {}, {}},
        SwitchCase{"DashH", {"-h"}, true, false, {}, {}, {}, {}},
        SwitchCase{"SlashQuestionMark", {"/?"}, true, false, {}, {}, {}, {}},
        SwitchCase{"DoubleDashSilent", {"--silent", "/tmp/p"}, false, true, {}, {}, {}, "/tmp/p"},
        SwitchCase{"DoubleDashMode", {"--REPAIR"}, false, false, {}, {}, {}, {}, RunMode::Repair},
        SwitchCase{"LogTakesTheNextArgument",
                   {"-log", "/tmp/a b.log", "-silent"},
                   false,
                   true,
                   "/tmp/a b.log",
                   {},
                   {},
                   {}},
        SwitchCase{
            "LogWithDoubleDashAndEquals", {"--log=/tmp/x.log"}, false, false, "/tmp/x.log", {}, {}, {}},
        SwitchCase{"SlashLog", {"/log", "x.log", "/opt/p"}, false, false, "x.log", {}, {}, "/opt/p"},
        SwitchCase{"LogLastHasNoFile", {"-silent", "--log"}, false, true, {}, {}, "--log", {}},
        SwitchCase{"LogWithEmptyEquals", {"--log="}, false, false, {}, {}, "--log=", {}},
        SwitchCase{"UnknownSwitchesKeptInOrder",
                   {"-silnet", "--", "-", "--x=1"},
                   false,
                   false,
                   {},
                   {"-silnet", "--", "-", "--x=1"},
                   {},
                   {}},
        SwitchCase{"ValueOnAFlagIsUnknown", {"--silent=yes"}, false, false, {}, {"--silent=yes"}, {}, {}},
        SwitchCase{"UnknownSlashFormIsAPath", {"/silnet"}, false, false, {}, {}, {}, "/silnet"}),
    TESTS::CaseName());

TEST(CommandLine, FileNameRuleNeedsACharacterBeforeTheName)
{
    EXPECT_FALSE(CCommandLine::ForcesUninstall(QStringLiteral("uninstall.exe")));
    EXPECT_TRUE(CCommandLine::ForcesUninstall(QStringLiteral("/UNINSTALL.exe")));
    EXPECT_FALSE(CCommandLine::ForcesUninstall(QStringLiteral("/opt/x/uninstall.ex")));
}

TEST(CommandLine, ModulePathIsArgumentZeroMadeAbsolute)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("dl"));
    TESTS::WriteFileBytes(folder + QStringLiteral("/setup"), "x");
    EXPECT_EQ(CCommandLine::ResolveModulePath(QStringLiteral("./setup"), folder),
              folder + QStringLiteral("/setup"));
    EXPECT_EQ(CCommandLine::ResolveModulePath(folder + QStringLiteral("/setup"), QStringLiteral("/")),
              folder + QStringLiteral("/setup"));
}

TEST(CommandLine, ModulePathKeepsALinkNamedUninstallExe)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("opt/X"));
    TESTS::WriteFileBytes(folder + QStringLiteral("/real"), "x");
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/real"), folder + QStringLiteral("/uninstall.exe")));
    const QString module = CCommandLine::ResolveModulePath(QStringLiteral("uninstall.exe"), folder);
    EXPECT_EQ(module, folder + QStringLiteral("/uninstall.exe"));
    EXPECT_EQ(CCommandLine::Parse({QStringLiteral("-install")}, module).mode, RunMode::Uninstall);
}

TEST(CommandLine, ModulePathFallsBackToTheRunningExecutable)
{
    const QString running = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    // Started through PATH: argument 0 is a bare name that is no file here.
    EXPECT_EQ(CCommandLine::ResolveModulePath(QStringLiteral("norvexsetup"), TESTS::SandboxRoot()), running);
    // A folder is not the executable either.
    EXPECT_EQ(CCommandLine::ResolveModulePath(QStringLiteral("home"), TESTS::SandboxRoot()), running);
}

TEST(CommandLine, ModuleFolderEndsWithOneSlash)
{
    EXPECT_EQ(CCommandLine::ModuleFolderOf(QStringLiteral("/opt/Tessaly/X/uninstall.exe")),
              QStringLiteral("/opt/Tessaly/X/"));
    EXPECT_EQ(CCommandLine::ModuleFolderOf(QStringLiteral("/norvexsetup")), QStringLiteral("/"));
}

}  // namespace
