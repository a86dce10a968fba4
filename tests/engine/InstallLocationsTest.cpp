// Install locations: default folders per scope, the previous installation and
// the mode it leads to, path macros, and the running-program probe without a
// display.
#include "EngineTestSupport.h"

#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"

#include <cctype>
#include <cstdlib>

using namespace ENGINETEST;
using PLATFORM::RegRoot;

namespace {

const QString kProductKey = QStringLiteral("Software\\Tessaly\\LabelCloud");

struct DetectCase {
    const char* label;
    RunMode mode;
    const char16_t* storedPath;     // nullptr: value not written
    const char16_t* storedVersion;  // nullptr: value not written
    const char16_t* packageVersion;
    RunMode expectedMode;
    bool expectedFound;
};

const DetectCase kDetectCases[] = {
    {"no key", RunMode::Install, nullptr, nullptr, u"6.32.1908", RunMode::Install, false},
    {"path without version value", RunMode::Install, u"/srv/LC/", nullptr, u"6.32.1908", RunMode::Install,
     false},
    {"path with empty version", RunMode::Install, u"/srv/LC/", u"", u"6.32.1908", RunMode::Install, false},
    {"version with empty path", RunMode::Install, u"", u"6.32.1908", u"6.32.1908", RunMode::Install, false},
    {"newer build", RunMode::Install, u"/srv/LC/", u"6.32.1908", u"6.32.1909", RunMode::Upgrade, true},
    {"same version", RunMode::Install, u"/srv/LC/", u"6.32.1908", u"6.32.1908", RunMode::Repair, true},
    {"shorter older text", RunMode::Install, u"/srv/LC/", u"6.32.1908", u"6.3", RunMode::Repair, true},
    {"6.4 over 6.32 as text", RunMode::Install, u"/srv/LC/", u"6.32", u"6.4", RunMode::Upgrade, true},
    {"6.10 over 6.9 as text", RunMode::Install, u"/srv/LC/", u"6.9", u"6.10", RunMode::Repair, true},
    {"letters ignore case", RunMode::Install, u"/srv/LC/", u"6.32b", u"6.32B", RunMode::Repair, true},
    {"empty package version", RunMode::Install, u"/srv/LC/", u"6.32.1908", u"", RunMode::Repair, true},
    {"repair switch kept", RunMode::Repair, u"/srv/LC/", u"6.32.1908", u"6.32.1909", RunMode::Repair, true},
    {"upgrade switch kept", RunMode::Upgrade, u"/srv/LC/", u"6.32.1908", u"6.32.1908", RunMode::Upgrade,
     true},
    {"uninstall kept", RunMode::Uninstall, u"/srv/LC/", u"6.32.1908", u"7.0", RunMode::Uninstall, true},
    {"douninstall kept", RunMode::DoUninstall, u"/srv/LC/", u"6.32.1908", u"6.0", RunMode::DoUninstall, true},
};

void PrintTo(const DetectCase& c, std::ostream* os)
{
    *os << c.label;
}

class DetectPreviousInstallTest : public testing::TestWithParam<DetectCase> {};

TEST_P(DetectPreviousInstallTest, ModeFolderAndPreviousValues)
{
    const DetectCase& c = GetParam();
    if (c.storedPath) {
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kProductKey, QString::fromUtf16(c.storedPath),
                                 QStringLiteral("InstallPath")));
    }
    if (c.storedVersion) {
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kProductKey, QString::fromUtf16(c.storedVersion),
                                 QStringLiteral("Version")));
    }

    CInstallEngine engine;
    engine.Manifest = SampleManifest();
    engine.Manifest.version.ver = QString::fromUtf16(c.packageVersion);
    engine.Mode = c.mode;
    EXPECT_TRUE(engine.DetectPreviousInstall());

    EXPECT_EQ(engine.Mode, c.expectedMode);
    EXPECT_EQ(engine.PreviousInstallFound, c.expectedFound);
    EXPECT_EQ(engine.ProductKey, kProductKey);
    EXPECT_EQ(engine.PreviousInstallPath, c.storedPath ? QString::fromUtf16(c.storedPath) : QString());
    EXPECT_EQ(engine.PreviousVersion, c.storedVersion ? QString::fromUtf16(c.storedVersion) : QString());
    const QString defaultFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelCloud/");
    EXPECT_EQ(engine.InstallFolder, c.expectedFound ? QString::fromUtf16(c.storedPath) : defaultFolder);
    EXPECT_EQ(engine.AppDataFolder, PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/LabelCloud/"));
}

INSTANTIATE_TEST_SUITE_P(Cases, DetectPreviousInstallTest, testing::ValuesIn(kDetectCases),
                         TESTS::CaseNameBy<&DetectCase::label>());

TEST(DetectPreviousInstall, DefaultFoldersFollowTheScope)
{
    const QString home = TESTS::SandboxPath(QStringLiteral("home/"));
    const struct {
        const char* scope;
        QString installFolder;
    } cases[] = {
        {"user", home + QStringLiteral(".local/opt/Tessaly/LabelCloud/")},
        {"machine", TESTS::SandboxPath(QStringLiteral("opt/Tessaly/LabelCloud/"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scope);
        setenv("NORVEX_SCOPE", c.scope, 1);
        CInstallEngine engine;
        engine.Manifest = SampleManifest();
        engine.DetectPreviousInstall();
        EXPECT_EQ(engine.InstallFolder, c.installFolder);
        // Roaming data is per user in both scopes.
        EXPECT_EQ(engine.AppDataFolder, home + QStringLiteral(".local/share/Tessaly/LabelCloud/"));
        EXPECT_EQ(engine.Mode, RunMode::Install);
    }
    unsetenv("NORVEX_SCOPE");
}

TEST(DetectPreviousInstall, StoredFolderWithoutFinalSlashGetsOne)
{
    RegSetString(RegRoot::CurrentUser, kProductKey, QStringLiteral("/srv/LabelCloud"),
                 QStringLiteral("InstallPath"));
    RegSetString(RegRoot::CurrentUser, kProductKey, QStringLiteral("6.32.1908"), QStringLiteral("Version"));
    CInstallEngine engine;
    engine.Manifest = SampleManifest();
    engine.DetectPreviousInstall();
    EXPECT_EQ(engine.InstallFolder, QStringLiteral("/srv/LabelCloud/"));
    EXPECT_EQ(engine.ExpandPathMacros(QStringLiteral("$intallpath$\\LabelCloud")),
              QStringLiteral("/srv/LabelCloud/LabelCloud"));
}

struct MacroCase {
    const char16_t* text;
    const char16_t* expected;
};

TEST(ExpandPathMacros, ReplacesBothMacrosAndOnlyThem)
{
    CInstallEngine engine;
    engine.InstallFolder = QStringLiteral("/x/Tessaly/LC/");
    engine.AppDataFolder = QStringLiteral("/home/u/.local/share/Tessaly/LC/");
    const MacroCase cases[] = {
        {u"$intallpath$\\a\\b.dll", u"/x/Tessaly/LC/a/b.dll"},
        {u"$intallpath$a\\b.dll", u"/x/Tessaly/LC/a/b.dll"},
        {u"$intallpath$", u"/x/Tessaly/LC/"},
        {u"$intallpath$\\", u"/x/Tessaly/LC/"},
        {u"$appdatapath$\\Templates\\", u"/home/u/.local/share/Tessaly/LC/Templates/"},
        {u"$intallpath$$appdatapath$", u"/x/Tessaly/LC//home/u/.local/share/Tessaly/LC/"},
        {u"\"$intallpath$\\LabelCloud\" -x $intallpath$\\y",
         u"\"/x/Tessaly/LC/LabelCloud\" -x /x/Tessaly/LC/y"},
        {u"$intallpath$\\LabelCloud,0", u"/x/Tessaly/LC/LabelCloud,0"},
        // Without a macro the text is not a path of ours: backslashes stay.
        {u"Software\\Tessaly\\LC", u"Software\\Tessaly\\LC"},
        {u"C:\\Program Files\\LC\\", u"C:\\Program Files\\LC\\"},
        {u"$INTALLPATH$\\a", u"$INTALLPATH$\\a"},
        {u"$installpath$\\a", u"$installpath$\\a"},
        {u"$other$\\a", u"$other$\\a"},
        {u"", u""},
    };
    for (const MacroCase& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(engine.ExpandPathMacros(text), QString::fromUtf16(c.expected));
    }
}

TEST(ExpandPathMacros, FolderTextIsInsertedAsItIs)
{
    CInstallEngine engine;
    // Folder names may hold a backslash or a dollar sign on this system.
    engine.InstallFolder = QStringLiteral("/opt/a\\b/$appdatapath$/");
    engine.AppDataFolder = QStringLiteral("/data/");
    EXPECT_EQ(engine.ExpandPathMacros(QStringLiteral("$intallpath$\\x\\y $appdatapath$\\z")),
              QStringLiteral("/opt/a\\b/$appdatapath$/x/y /data/z"));
}

TEST(FindRunningProgram, NothingWithoutLabelOrDisplay)
{
    unsetenv("DISPLAY");
    CInstallEngine engine;
    std::uint32_t window = 77;
    for (std::int32_t label : {0, 202208}) {
        SCOPED_TRACE(label);
        engine.Manifest.info.value = label;
        EXPECT_FALSE(engine.FindRunningProgram(&window));
        EXPECT_FALSE(engine.FindRunningProgram());
        EXPECT_EQ(window, 77u);
    }
}

}  // namespace
