// Registration in the list of installed programs with uninstall.xml, and the
// removal of the registration and of the user's data, in the real store.
#include "EngineTestSupport.h"

#include "database/PackageFiles.h"
#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>

using namespace ENGINETEST;
using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;

namespace {

const QString kUninstallKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelCloud");

class UninstallRegistrationTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        QDir().mkpath(engine.InstallFolder);
    }

    StoredValue Entry(const QString& name) const
    {
        return ReadValue(RegRoot::LocalMachine, kUninstallKey, name);
    }
};

TEST_F(UninstallRegistrationTest, EntryHoldsTheValuesInTheirOrder)
{
    ASSERT_TRUE(engine.CreateShortcuts(false, false).menuFolder);
    engine.Manifest.installedSize = 18280912 + 3364304 + 2709364;
    ASSERT_TRUE(engine.RegisterUninstall());

    EXPECT_EQ(ValueNames(RegRoot::LocalMachine, kUninstallKey),
              (QStringList{"DisplayName", "UninstallString", "DisplayIcon", "Publisher", "HelpLink",
                           "DisplayVersion", "InstallLocation", "EstimatedSize"}));
    const struct {
        const char* name;
        QString text;
    } strings[] = {
        {"DisplayName", "Tessaly Label Cloud & Print"},
        {"UninstallString", engine.InstallFolder + "uninstall.exe"},
        {"DisplayIcon", engine.InstallFolder + "LabelCloud"},
        {"Publisher", "Tessaly Software"},
        {"HelpLink", "http://www.example.com/help"},
        {"DisplayVersion", "6.32.1908"},
        {"InstallLocation", engine.InstallFolder},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(s.name);
        const StoredValue v = Entry(QString::fromUtf8(s.name));
        EXPECT_EQ(v.type, quint32(PLATFORM::RegSz));
        EXPECT_EQ(v.data, Sz(s.text));
    }
    const StoredValue size = Entry(QStringLiteral("EstimatedSize"));
    EXPECT_EQ(size.type, quint32(PLATFORM::RegDword));
    EXPECT_EQ(size.data, CRegistry::DwordData(23783));
}

TEST_F(UninstallRegistrationTest, EstimatedSizeIsKilobytesCappedAtThirtyTwoBits)
{
    const struct {
        qint64 bytes;
        quint32 kib;
    } cases[] = {
        {0, 0},
        {1023, 0},
        {1024, 1},
        {24354580, 23783},
        {qint64(0x7FFFFFFF) + 1, 0x200000},  // beyond a 32-bit signed byte count
        {qint64(0xFFFFFFFF) * 1024 + 1023, 0xFFFFFFFF},
        {qint64(0xFFFFFFFF) * 1024 + 1024, 0xFFFFFFFF},  // above 4 TiB: the largest size
        {-5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        engine.Manifest.installedSize = c.bytes;
        engine.RegisterUninstall();
        EXPECT_EQ(Entry(QStringLiteral("EstimatedSize")).data, CRegistry::DwordData(c.kib));
    }
}

TEST_F(UninstallRegistrationTest, DeployedSizeLeavesOutNodwFiles)
{
    PKGTEST::UseUtc();
    engine.Package.path =
        PKGTEST::CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/sample.cab"));
    ASSERT_TRUE(engine.DeployFiles(nullptr));
    engine.RegisterUninstall();
    // LabelCloud, readme.txt and uninstall.exe; not the 70,000-byte template.
    EXPECT_EQ(Entry(QStringLiteral("EstimatedSize")).data, CRegistry::DwordData((47 + 4200 + 138000) / 1024));
}

TEST_F(UninstallRegistrationTest, WithoutUninstallLinkThereIsNoCommandOrIcon)
{
    engine.Manifest.shortcut.remove_if([](const CInstShortcutInfo& l) { return l.type == "uninstall"; });
    ASSERT_TRUE(engine.CreateShortcuts(false, false).menuFolder);
    engine.RegisterUninstall();
    EXPECT_EQ(ValueNames(RegRoot::LocalMachine, kUninstallKey),
              (QStringList{"DisplayName", "Publisher", "HelpLink", "DisplayVersion", "InstallLocation",
                           "EstimatedSize"}));
}

TEST_F(UninstallRegistrationTest, ManifestIsSavedAsUninstallXmlAndReadsBack)
{
    engine.RegisterUninstall();
    CInstallInfo saved;
    ASSERT_TRUE(saved.Load(engine.InstallFolder + QStringLiteral("uninstall.xml")));
    EXPECT_EQ(saved.version, engine.Manifest.version);
    EXPECT_EQ(saved.info.prog, engine.Manifest.info.prog);
    EXPECT_EQ(saved.files, engine.Manifest.files);
    EXPECT_EQ(saved.registry, engine.Manifest.registry);
    EXPECT_EQ(saved.shortcut, engine.Manifest.shortcut);
}

TEST_F(UninstallRegistrationTest, RepairRewritesEveryValueInPlace)
{
    ASSERT_TRUE(engine.CreateShortcuts(false, false).menuFolder);
    engine.RegisterUninstall();
    const QStringList names = ValueNames(RegRoot::LocalMachine, kUninstallKey);

    engine.Manifest.version.ver = QStringLiteral("6.32.1909");
    engine.Manifest.installedSize = 4096;
    engine.RegisterUninstall();
    EXPECT_EQ(ValueNames(RegRoot::LocalMachine, kUninstallKey), names);
    EXPECT_EQ(Entry(QStringLiteral("DisplayVersion")).data, Sz(QStringLiteral("6.32.1909")));
    EXPECT_EQ(Entry(QStringLiteral("EstimatedSize")).data, CRegistry::DwordData(4));
    CInstallInfo saved;
    ASSERT_TRUE(saved.Load(engine.InstallFolder + QStringLiteral("uninstall.xml")));
    EXPECT_EQ(saved.version.ver, QStringLiteral("6.32.1909"));
    EXPECT_EQ(QDir(engine.InstallFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"uninstall.xml"});
}

TEST_F(UninstallRegistrationTest, RemovalClearsWhatTheManifestWroteAndKeepsTheUserKey)
{
    engine.DeployRegistry();
    engine.RegisterUninstall();
    // Extra data below a manifest key goes with it; a key the manifest only
    // deleted, and other per-user settings, stay.
    RegSetString(RegRoot::ClassesRoot, QStringLiteral(".tlc\\ShellNew"), QStringLiteral("x"),
                 QStringLiteral("y"));
    const QString onlyDeleted = QStringLiteral("Software\\Tessaly\\LabelCloud\\Old");
    RegSetString(RegRoot::CurrentUser, onlyDeleted, QStringLiteral("kept"), QStringLiteral("v"));
    RegSetString(RegRoot::CurrentUser, engine.ProductKey, QStringLiteral("zh"), QStringLiteral("Language"));

    EXPECT_TRUE(engine.RemoveRegistration(&progress));

    for (const auto& [root, key] : std::vector<std::pair<RegRoot, QString>>{
             {RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\LabelCloud\\Settings")},
             {RegRoot::ClassesRoot, QStringLiteral(".tlc")},
             {RegRoot::ClassesRoot, QStringLiteral("Tessaly.LabelCloud\\DefaultIcon")},
             {RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Tessaly\\LabelCloud")},
             {RegRoot::LocalMachine, kUninstallKey}}) {
        EXPECT_FALSE(CRegistry::KeyExists(root, key)) << key.toStdString();
    }
    EXPECT_TRUE(CRegistry::KeyExists(RegRoot::ClassesRoot, QStringLiteral("Tessaly.LabelCloud")));
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, onlyDeleted, QStringLiteral("v")).data,
              Sz(QStringLiteral("kept")));
    // Empty strings of two bytes: no installation for the next start.
    for (const char* name : {"InstallPath", "Version"}) {
        const StoredValue v = ReadValue(RegRoot::CurrentUser, engine.ProductKey, QString::fromUtf8(name));
        EXPECT_EQ(v.type, quint32(PLATFORM::RegSz)) << name;
        EXPECT_EQ(v.data, QByteArray(2, '\0')) << name;
    }
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, engine.ProductKey, QStringLiteral("Language")).data,
              Sz(QStringLiteral("zh")));
    EXPECT_EQ(progress.positions, (std::vector<int>{50, 90}));
    EXPECT_EQ(progress.repaints, 2);
    EXPECT_EQ(clock.pauses, (std::vector<int>{300, 300}));

    CInstallEngine next;
    next.Manifest = SampleManifest();
    next.DetectPreviousInstall();
    EXPECT_FALSE(next.PreviousInstallFound);
    EXPECT_EQ(next.Mode, RunMode::Install);
}

TEST_F(UninstallRegistrationTest, UserDataRemovalDeletesKeyAndDataFolderOnly)
{
    engine.DeployRegistry();
    TESTS::WriteFileBytes(engine.AppDataFolder + QStringLiteral("Templates/a.dat"), "user");
    const QString otherProduct = PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/Other/keep.dat");
    TESTS::WriteFileBytes(otherProduct, "other");
    RegSetString(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\Other"), QStringLiteral("1"),
                 QStringLiteral("v"));

    EXPECT_TRUE(engine.RemoveRegistration(nullptr));
    EXPECT_TRUE(CRegistry::KeyExists(RegRoot::CurrentUser, engine.ProductKey));
    EXPECT_TRUE(engine.RemoveUserData(&progress));

    EXPECT_FALSE(CRegistry::KeyExists(RegRoot::CurrentUser, engine.ProductKey));
    EXPECT_FALSE(QFileInfo::exists(engine.AppDataFolder));
    EXPECT_TRUE(QFileInfo::exists(otherProduct));
    EXPECT_TRUE(CRegistry::KeyExists(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\Other")));
    EXPECT_EQ(progress.positions, std::vector<int>{50});
    EXPECT_EQ(clock.pauses, (std::vector<int>{300, 300, 300}));
}

TEST_F(UninstallRegistrationTest, WithoutAProductNameNothingSharedIsRemoved)
{
    const QString otherData = PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/Other/keep.dat");
    TESTS::WriteFileBytes(otherData, "other");
    const QString uninstallList = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    RegSetString(RegRoot::LocalMachine, uninstallList + QStringLiteral("\\Other"), QStringLiteral("Other"),
                 QStringLiteral("DisplayName"));
    RegSetString(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\Other"), QStringLiteral("1"),
                 QStringLiteral("v"));
    engine.Manifest.registry.clear();
    for (const char16_t* prog : {u"", u"..", u"a/b"}) {
        SCOPED_TRACE(QString::fromUtf16(prog).toStdString());
        engine.Manifest.info.prog = QString::fromUtf16(prog);
        engine.DetectPreviousInstall();
        engine.RegisterUninstall();
        engine.RemoveRegistration(nullptr);
        engine.RemoveUserData(nullptr);
        EXPECT_TRUE(QFileInfo::exists(otherData));
        EXPECT_EQ(ValueNames(RegRoot::LocalMachine, uninstallList), QStringList{});
        EXPECT_TRUE(CRegistry::KeyExists(RegRoot::LocalMachine, uninstallList + QStringLiteral("\\Other")));
        EXPECT_TRUE(CRegistry::KeyExists(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\Other")));
    }
}

// The installation folder's removal refuses every folder whose loss would be
// a disaster, even with an uninstall.xml planted in it.
class RemoveInstallFolderTest : public EngineTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override
    {
        setenv("NORVEX_SCOPE", GetParam(), 1);
        EngineTest::SetUp();
    }
    void TearDown() override
    {
        EngineTest::TearDown();
        unsetenv("NORVEX_SCOPE");
    }
};

TEST_P(RemoveInstallFolderTest, RefusesDangerousFoldersAndRemovesAnInstallation)
{
    const QString home = PLATFORM::HomeFolder();
    const QStringList special{
        home, TESTS::SandboxRoot(), PLATFORM::ProgramFilesFolder(), PLATFORM::AppDataFolder(),
        PLATFORM::ConfigHome(), PLATFORM::ProgramsMenuFolder(), PLATFORM::StartupFolder(),
        PLATFORM::DesktopFolder(), PLATFORM::QuickLaunchFolder(), PLATFORM::TempFolder(),
        home + QStringLiteral(".local"),
        // The registry store's folders and the system folders.
        QFileInfo(PLATFORM::UserHivePath()).path(), QFileInfo(PLATFORM::MachineHivePath()).path(),
        TESTS::SandboxPath(QStringLiteral("usr")), TESTS::SandboxPath(QStringLiteral("var")),
        TESTS::SandboxPath(QStringLiteral("etc")), TESTS::SandboxPath(QStringLiteral("var/lib"))};
    for (const QString& folder : special)
        TESTS::WriteFileBytes(folder + QStringLiteral("/uninstall.xml"), "<install/>");
    QDir().mkpath(engine.InstallFolder);
    const QString link = TESTS::SandboxPath(QStringLiteral("homelink"));
    ASSERT_TRUE(QFile::link(home, link));

    QStringList refused = special;
    for (const QString& folder : special)
        refused << QDir::cleanPath(folder);  // without the final '/'
    refused << QString() << QStringLiteral("/") << QStringLiteral("relative/LabelCloud/")
            << QStringLiteral("./") << engine.InstallFolder  // holds no uninstall.xml yet
            << engine.InstallFolder
            + QStringLiteral("../../../../../..")  // climbs to the sandbox root or above
            << link << link + u'/'                 // the home folder through a link
            << QStringLiteral("   ");
    for (const QString& folder : refused) {
        SCOPED_TRACE(folder.toStdString());
        EXPECT_FALSE(engine.RemoveInstallFolder(folder).removed);
        EXPECT_FALSE(engine.RemoveInstalledFiles(folder).removed);
    }
    for (const QString& folder : special)
        EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/uninstall.xml"))) << folder.toStdString();
    EXPECT_TRUE(QFileInfo(engine.InstallFolder).isDir());

    // A real installation goes, with everything in it; its parent stays.
    ASSERT_TRUE(engine.RegisterUninstall());
    TESTS::WriteFileBytes(engine.InstallFolder + QStringLiteral("doc/readme.txt"), "x");
    EXPECT_TRUE(engine.RemoveInstallFolder(engine.InstallFolder).removed);
    EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder));
    EXPECT_TRUE(QFileInfo(QDir::cleanPath(engine.InstallFolder + QStringLiteral(".."))).isDir());
    EXPECT_TRUE(QFileInfo::exists(home + QStringLiteral("uninstall.xml")));
}

INSTANTIATE_TEST_SUITE_P(Scopes, RemoveInstallFolderTest, testing::Values("user", "machine"),
                         [](const testing::TestParamInfo<const char*>& c) { return std::string(c.param); });

}  // namespace
