// The installer's own command line as people type it: the switch list for
// every help spelling in the three languages, and unattended runs that refuse
// a switch they do not know before doing anything.
#include "support/Process.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QString kSetupExe = QStringLiteral(NORVEX_SETUP_EXE);
const QString kPackExe = QStringLiteral(NORVEX_PACK_EXE);

using TESTS::ProcessResult;

struct Locale {
    const char* name;
    const char* lang;
    const char16_t* usage;         // first words of the list
    const char16_t* silentLine;    // one switch line, in that language
    const char16_t* unknownWords;  // the unknown-switch error
};

const Locale kLocales[] = {
    {"Simplified", "zh_CN.UTF-8", u"用法: norvexsetup [开关]", u"不显示窗口", u"未知的开关"},
    {"Traditional", "zh_TW.UTF-8", u"用法: norvexsetup [參數]", u"不顯示視窗", u"未知的參數"},
    {"English", "en_US.UTF-8", u"Usage: norvexsetup [SWITCH]", u"run without a window", u"unknown switch"},
};

QStringList LocaleEnvironment(const Locale& locale)
{
    return {QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES"),
            QStringLiteral("LANG=") + QLatin1String(locale.lang), QStringLiteral("NORVEX_SCOPE=user"),
            QStringLiteral("DISPLAY")};
}

struct HelpCase {
    const char* name;
    QStringList arguments;
};

const HelpCase kHelpCases[] = {
    {"DashHelp", {"-help"}},
    {"DoubleDashHelp", {"--help"}},
    {"SlashHelp", {"/help"}},
    {"DashH", {"-h"}},
    {"DoubleDashH", {"--h"}},
    {"SlashH", {"/H"}},
    {"DashQuestionMark", {"-?"}},
    {"SlashQuestionMark", {"/?"}},
    {"UpperCaseHelp", {"-HELP"}},
    // Help wins over everything else on the line, a bad switch included.
    {"HelpInAnUnattendedRun", {"-silent", "-bogus", "--help"}},
};

void PrintTo(const HelpCase& c, std::ostream* os)
{
    *os << c.name;
}
void PrintTo(const Locale& c, std::ostream* os)
{
    *os << c.name;
}

class InstallerHelp : public testing::TestWithParam<std::tuple<HelpCase, Locale>> {};

// The bare template has no package: anything but the list would fail with
// the package message and exit 2, so exit 0 and a clean standard error show
// that nothing was started.
TEST_P(InstallerHelp, ShowsTheSwitchListInTheMachinesLanguage)
{
    const auto& [help, locale] = GetParam();
    const ProcessResult r = TESTS::RunProcess(kSetupExe, help.arguments, LocaleEnvironment(locale));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QString::fromUtf16(locale.usage))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QString::fromUtf16(locale.silentLine))) << r.out.toStdString();
    for (const char* name : {"-install", "-upgrade", "-repair", "-uninstall", "-douninstall", "-silent",
                             "-log", "-help, -h, -?"})
        EXPECT_TRUE(r.out.contains(QLatin1String(name))) << name;
    EXPECT_EQ(r.err, QString());
    EXPECT_EQ(
        QDir(TESTS::SandboxPath(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList());
}

INSTANTIATE_TEST_SUITE_P(Spellings, InstallerHelp,
                         testing::Combine(testing::ValuesIn(kHelpCases), testing::ValuesIn(kLocales)),
                         [](const testing::TestParamInfo<std::tuple<HelpCase, Locale>>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
                         });

// The sample product as an installer people would download.
QString SampleInstaller()
{
    const QString work = TESTS::SandboxPath(QStringLiteral("work"));
    QDir().mkpath(work);
    const QString package = work + QStringLiteral("/product.cab");
    const QString installer = work + QStringLiteral("/LabelCloudSetup");
    ProcessResult r =
        TESTS::RunProcess(kPackExe,
                          {QStringLiteral("build"), QStringLiteral("--manifest"),
                           TESTS::FixturePath(QStringLiteral("sample/Install.xml")),
                           QStringLiteral("--source"), TESTS::FixturePath(QStringLiteral("sample/src")),
                           QStringLiteral("--quiet"), QStringLiteral("-o"), package});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = TESTS::RunProcess(kPackExe,
                          {QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe,
                           QStringLiteral("--package"), package, QStringLiteral("-o"), installer});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return installer;
}

QString InstallFolder()
{
    return TESTS::SandboxPath(QStringLiteral("home/.local/opt/Tessaly/LabelCloud"));
}

struct BadSwitchCase {
    const char* name;
    QStringList arguments;
    QStringList named;  // what the error lines must name
    bool missingValue = false;
};

const BadSwitchCase kBadSwitches[] = {
    {"Typo", {"-silent", "-silnet"}, {"-silnet"}},
    {"DoubleDashTypo", {"--silent", "--lgo", "run.log"}, {"--lgo"}},
    {"BareDoubleDash", {"-silent", "--"}, {"--"}},
    {"SeveralAllNamed", {"-sielnt", "-silent", "-repiar", "--foo=1"}, {"-sielnt", "-repiar", "--foo=1"}},
    {"LogWithoutFile", {"-silent", "-log"}, {"-log"}, true},
};

void PrintTo(const BadSwitchCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnattendedBadSwitch : public testing::TestWithParam<std::tuple<BadSwitchCase, Locale>> {};

TEST_P(UnattendedBadSwitch, ExitsTwoNamingItAndInstallsNothing)
{
    const auto& [c, locale] = GetParam();
    const QString installer = SampleInstaller();
    const ProcessResult r = TESTS::RunProcess(installer, c.arguments, LocaleEnvironment(locale));
    EXPECT_EQ(r.exitCode, 2) << r.out.toStdString() << r.err.toStdString();
    const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), c.named.size()) << r.err.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("LabelCloudSetup: "))) << lines[i].toStdString();
        EXPECT_TRUE(lines[i].contains(u' ' + c.named[i])) << lines[i].toStdString();
        if (!c.missingValue) {
            EXPECT_TRUE(lines[i].contains(QString::fromUtf16(locale.unknownWords))) << lines[i].toStdString();
        }
    }
    EXPECT_EQ(r.out, QString());
    EXPECT_FALSE(QFileInfo::exists(InstallFolder()));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnattendedBadSwitch,
                         testing::Combine(testing::ValuesIn(kBadSwitches), testing::ValuesIn(kLocales)),
                         [](const testing::TestParamInfo<std::tuple<BadSwitchCase, Locale>>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
                         });

// The GNU spellings do what the single-dash ones do.
TEST(UnattendedSwitches, DoubleDashSilentAndLogInstall)
{
    const QString installer = SampleInstaller();
    const QString log = TESTS::SandboxPath(QStringLiteral("logs/run.log"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("logs")));
    const ProcessResult r =
        TESTS::RunProcess(installer, {QStringLiteral("--silent"), QStringLiteral("--log"), log},
                          LocaleEnvironment(kLocales[2]));
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(InstallFolder() + QStringLiteral("/uninstall.xml")).isFile());
    // The file after --log is the log, never the installation folder.
    EXPECT_TRUE(QFileInfo(log).isFile());
    EXPECT_TRUE(TESTS::ReadFileBytes(log).contains("start: ")) << TESTS::ReadFileBytes(log).constData();
}

// Outside an unattended run the wizard's rule stands: unknown switches are ignored.
TEST(UnattendedSwitches, UnknownSwitchWithoutSilentIsNotAnError)
{
    // Without a display the window run stops at once (a window would wait for a user).
    const ProcessResult r = TESTS::RunProcess(
        kSetupExe, {QStringLiteral("-bogus")},
        LocaleEnvironment(kLocales[2])
            + QStringList{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("WAYLAND_DISPLAY")},
        60000);
    // It fails for want of a display, as it would without the switch, never on the switch.
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.err.contains(QStringLiteral("unknown switch")));
}

}  // namespace
