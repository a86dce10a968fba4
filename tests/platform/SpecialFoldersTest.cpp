#include "platform/SpecialFolders.h"

#include "support/CaseName.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

using namespace PLATFORM;

namespace {

struct ScopeCase {
    const char* scope;
    const char* programFiles;
    const char* menu;
    const char* startup;
    const char* machineHive;
};

class SpecialFoldersTest : public testing::TestWithParam<ScopeCase> {
protected:
    void TearDown() override { unsetenv("NORVEX_SCOPE"); }
};

TEST_P(SpecialFoldersTest, FoldersFollowScopeInsideSandbox)
{
    const ScopeCase& c = GetParam();
    setenv("NORVEX_SCOPE", c.scope, 1);
    // XDG variables must not lead out of the sandbox.
    setenv("XDG_DATA_HOME", "/nonexistent/data", 1);
    setenv("XDG_CONFIG_HOME", "/nonexistent/config", 1);
    const QString root = TESTS::SandboxRoot();

    EXPECT_EQ(ProgramFilesFolder(), root + c.programFiles);
    EXPECT_EQ(ProgramsMenuFolder(), root + c.menu);
    EXPECT_EQ(StartupFolder(), root + c.startup);
    EXPECT_EQ(MachineHivePath(), root + c.machineHive);
    EXPECT_EQ(AppDataFolder(), root + "/home/.local/share/");
    EXPECT_EQ(DesktopFolder(), root + "/home/Desktop/");
    EXPECT_EQ(QuickLaunchFolder(), root + "/home/.local/share/Microsoft/Internet Explorer/Quick Launch/");
    EXPECT_EQ(UserHivePath(), root + "/home/.config/norvex/registry/user.db");
}

INSTANTIATE_TEST_SUITE_P(Scopes, SpecialFoldersTest,
    testing::Values(
        ScopeCase{"user", "/home/.local/opt/", "/home/.local/share/applications/", "/home/.config/autostart/",
            "/home/.local/share/norvex/registry/machine.db"},
        ScopeCase{"machine", "/opt/", "/usr/local/share/applications/", "/etc/xdg/autostart/",
            "/var/lib/norvex/registry/machine.db"}),
    TESTS::CaseNameBy<&ScopeCase::scope>());

TEST(TempFolderTest, PrivateFolderInsideSandbox)
{
    const QString folder = TempFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.startsWith(TESTS::SandboxRoot() + "/tmp/"));
    EXPECT_TRUE(folder.endsWith('/'));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(TempFolderTest, RefusesPlantedLink)
{
    const QString folder = TempFolder();
    ASSERT_FALSE(folder.isEmpty());
    QString path = folder;
    path.chop(1);
    ASSERT_TRUE(QDir(path).removeRecursively());
    QDir().mkpath(TESTS::SandboxPath("elsewhere"));
    ASSERT_EQ(symlink(QFile::encodeName(TESTS::SandboxPath("elsewhere")).constData(),
                  QFile::encodeName(path).constData()), 0);
    EXPECT_TRUE(TempFolder().isEmpty());
}

}  // namespace
