#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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

INSTANTIATE_TEST_SUITE_P(
    Scopes, SpecialFoldersTest,
    testing::Values(ScopeCase{"user", "/home/.local/opt/", "/home/.local/share/applications/",
                              "/home/.config/autostart/", "/home/.local/share/norvex/registry/machine.db"},
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
                      QFile::encodeName(path).constData()),
              0);
    EXPECT_TRUE(TempFolder().isEmpty());
}

// The resolution on its own, over every combination of scope, sandbox, XDG
// variables set, unset or relative, and user-dirs.dirs present or absent.
enum class Xdg { Unset, Set, Relative };

struct ResolveCase {
    Scope scope;
    bool sandbox;
    Xdg xdg;
    bool userDirs;
};

std::string CaseName(const ResolveCase& c)
{
    static const char* xdg[] = {"XdgUnset", "XdgSet", "XdgRelative"};
    return std::string(c.scope == Scope::Machine ? "Machine" : "User") + (c.sandbox ? "Sandbox" : "Real")
        + xdg[int(c.xdg)] + (c.userDirs ? "UserDirs" : "NoUserDirs");
}

void PrintTo(const ResolveCase& c, std::ostream* os)
{
    *os << CaseName(c);
}

std::vector<ResolveCase> AllResolveCases()
{
    std::vector<ResolveCase> cases;
    for (Scope scope : {Scope::User, Scope::Machine})
        for (bool sandbox : {false, true})
            for (Xdg xdg : {Xdg::Unset, Xdg::Set, Xdg::Relative})
                for (bool userDirs : {false, true})
                    cases.push_back({scope, sandbox, xdg, userDirs});
    return cases;
}

class ResolveSpecialFoldersTest : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveSpecialFoldersTest, FollowsScopeSandboxXdgAndUserDirs)
{
    const ResolveCase& c = GetParam();
    FolderEnvironment env;
    env.sandboxRoot = c.sandbox ? QStringLiteral("/sb") : QString();
    env.scopeOverride = c.scope == Scope::Machine ? QStringLiteral("machine") : QStringLiteral("user");
    env.effectiveUid = env.uid = 1000;
    env.home = QStringLiteral("/home/ann/");
    env.tmpDir = QStringLiteral("/var/tmp");
    if (c.xdg != Xdg::Unset) {
        const QString base = c.xdg == Xdg::Set ? QStringLiteral("/xdg/") : QStringLiteral("xdg/");
        env.xdgConfigHome = base + "config";
        env.xdgDataHome = base + "data/";
        env.xdgDesktopDir = base + "desk";
        env.xdgRuntimeDir =
            c.xdg == Xdg::Set ? QStringLiteral("/run/user/1000") : QStringLiteral("run/user/1000");
    }
    if (c.userDirs)
        env.userDirs = QStringLiteral(
            "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");

    // What counts: the sandbox moves everything and ignores the rest; outside
    // it only absolute XDG values count, and an XDG desktop value beats the file.
    const QString root = c.sandbox ? QStringLiteral("/sb") : QString();
    const QString home = c.sandbox ? QStringLiteral("/sb/home/") : QStringLiteral("/home/ann/");
    const bool xdgCounts = !c.sandbox && c.xdg == Xdg::Set;
    const QString config = xdgCounts ? QStringLiteral("/xdg/config/") : home + ".config/";
    const QString data = xdgCounts ? QStringLiteral("/xdg/data/") : home + ".local/share/";
    QString desktop = home + "Desktop/";
    if (xdgCounts)
        desktop = QStringLiteral("/xdg/desk/");
    else if (!c.sandbox && c.userDirs)
        desktop = QStringLiteral("/home/ann/Schreibtisch/");
    const QString temp = c.sandbox ? QStringLiteral("/sb/tmp/norvex-1000/")
        : xdgCounts                ? QStringLiteral("/run/user/1000/norvex/")
                                   : QStringLiteral("/var/tmp/norvex-1000/");
    const bool machine = c.scope == Scope::Machine;

    const SpecialFolderSet f = ResolveSpecialFolders(env);
    EXPECT_EQ(f.scope, c.scope);
    EXPECT_EQ(f.home, home);
    EXPECT_EQ(f.configHome, config);
    EXPECT_EQ(f.dataHome, data);
    EXPECT_EQ(f.appData, data);
    EXPECT_EQ(f.desktop, desktop);
    EXPECT_EQ(f.quickLaunch, data + "Microsoft/Internet Explorer/Quick Launch/");
    EXPECT_EQ(f.programFiles, machine ? root + "/opt/" : home + ".local/opt/");
    EXPECT_EQ(f.programsMenu, machine ? root + "/usr/local/share/applications/" : data + "applications/");
    EXPECT_EQ(f.startup, machine ? root + "/etc/xdg/autostart/" : config + "autostart/");
    EXPECT_EQ(f.userHive, config + "norvex/registry/user.db");
    EXPECT_EQ(f.machineHive,
              machine ? root + "/var/lib/norvex/registry/machine.db" : data + "norvex/registry/machine.db");
    EXPECT_EQ(f.temp, temp);
}

INSTANTIATE_TEST_SUITE_P(Combinations, ResolveSpecialFoldersTest, testing::ValuesIn(AllResolveCases()),
                         [](const testing::TestParamInfo<ResolveCase>& param) {
                             return CaseName(param.param);
                         });

TEST(ResolveSpecialFoldersOddsTest, ScopeTemporaryFolderAndUserDirsForms)
{
    FolderEnvironment env;
    env.home = QStringLiteral("/home/ann");
    env.uid = 1000;
    const struct {
        const char* name;
        QString scopeOverride;
        uid_t effectiveUid;
        Scope scope;
    } scopes[] = {{"root", "", 0, Scope::Machine},
                  {"user", "", 1000, Scope::User},
                  {"forced user", "USER", 0, Scope::User},
                  {"forced machine", "Machine", 1000, Scope::Machine},
                  {"unknown override", "both", 1000, Scope::User}};
    for (const auto& s : scopes) {
        SCOPED_TRACE(s.name);
        env.scopeOverride = s.scopeOverride;
        env.effectiveUid = s.effectiveUid;
        EXPECT_EQ(ResolveSpecialFolders(env).scope, s.scope);
    }

    // No runtime folder and a relative TMPDIR: the shared /tmp.
    env.tmpDir = QStringLiteral("tmp");
    EXPECT_EQ(ResolveSpecialFolders(env).temp, QStringLiteral("/tmp/norvex-1000/"));

    const struct {
        const char* content;
        const char* desktop;
    } files[] = {{"XDG_DESKTOP_DIR=\"/data/desk\"\n", "/data/desk/"},
                 {"  XDG_DESKTOP_DIR = \"$HOME/a/../Desk\"  \n", "/home/ann/Desk/"},
                 {"XDG_DESKTOP_DIR=\"Desk\"\n", "/home/ann/Desktop/"},
                 {"XDG_DESKTOP_DIR=$HOME/Desk\n", "/home/ann/Desktop/"},
                 {"", "/home/ann/Desktop/"}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.content);
        env.userDirs = QString::fromUtf8(file.content);
        EXPECT_EQ(ResolveSpecialFolders(env).desktop, QString::fromUtf8(file.desktop));
    }
}

TEST(ReadFolderEnvironmentTest, ReadsTheProcessAndSkipsUserDirsInASandbox)
{
    const QString userDirs = TESTS::SandboxPath(QStringLiteral("home/.config/user-dirs.dirs"));
    TESTS::WriteFileBytes(userDirs, "XDG_DESKTOP_DIR=\"$HOME/Elsewhere\"\n");
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    const FolderEnvironment env = ReadFolderEnvironment(true);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(env.sandboxRoot, TESTS::SandboxRoot());
    EXPECT_EQ(env.xdgRuntimeDir, QStringLiteral("/run/user/4242"));
    EXPECT_EQ(env.uid, ::getuid());
    EXPECT_FALSE(env.userDirs.has_value());
    EXPECT_EQ(DesktopFolder(), TESTS::SandboxRoot() + "/home/Desktop/");
}

}  // namespace
