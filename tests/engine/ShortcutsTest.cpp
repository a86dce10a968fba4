// Shortcuts as desktop entries: the menu folder, the main program's extra
// copies, autostart, rewriting in place, removal, and desktop-file-validate on
// every file produced.
#include "EngineTestSupport.h"

#include "platform/DesktopEntry.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>

using namespace ENGINETEST;

namespace {

const QString kMainEntry = QStringLiteral("Tessaly Label Cloud.desktop");
const QString kUninstallEntry = QStringLiteral("Uninstall.desktop");

class ShortcutsTest : public EngineTest {
protected:
    QString MenuFolder() const
    {
        return PLATFORM::ProgramsMenuFolder() + engine.Manifest.version.prog + u'/';
    }

    static QStringList Entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Every desktop entry written anywhere in the sandbox, relative to it.
    static QStringList Written()
    {
        QStringList rel;
        for (const QString& f : DesktopFilesInSandbox())
            rel << f.mid(TESTS::SandboxRoot().size() + 1);
        return rel;
    }

    static void ExpectAllValid()
    {
        for (const QString& f : DesktopFilesInSandbox())
            EXPECT_EQ(ValidateDesktopFile(f), QString()) << f.toStdString();
    }

    // Program and arguments of an entry's Exec key.
    static QStringList ExecOf(const QString& file)
    {
        const auto values = PLATFORM::ReadDesktopEntryFile(file);
        if (!values)
            return {QStringLiteral("<unreadable>")};
        return PLATFORM::SplitExec(values->value(QStringLiteral("Exec"))).value_or(QStringList{"<bad Exec>"});
    }
};

struct CopyCase {
    const char* label;
    bool desktop;
    bool quickLaunch;
    int autostart;
    bool quickLaunchFolder;  // whether the Quick Launch folder exists
};

void PrintTo(const CopyCase& c, std::ostream* os)
{
    *os << c.label;
}

class ShortcutCopiesTest : public ShortcutsTest, public testing::WithParamInterface<CopyCase> {};

TEST_P(ShortcutCopiesTest, MenuHoldsEveryLinkAndOnlyTheMainProgramIsCopied)
{
    const CopyCase& c = GetParam();
    engine.Manifest.info.autostart = c.autostart;
    if (c.quickLaunchFolder)
        QDir().mkpath(PLATFORM::QuickLaunchFolder());

    ASSERT_TRUE(engine.CreateShortcuts(c.desktop, c.quickLaunch).menuFolder);

    const QString target = engine.InstallFolder + QStringLiteral("LabelCloud");
    EXPECT_EQ(engine.Manifest.mainprogPath, target);
    EXPECT_EQ(Entries(MenuFolder()), (QStringList{kMainEntry, kUninstallEntry}));
    EXPECT_EQ(ExecOf(MenuFolder() + kMainEntry), QStringList{target});
    EXPECT_EQ(ExecOf(MenuFolder() + kUninstallEntry), QStringList{engine.InstallFolder + "uninstall.exe"});

    const QString desktopCopy = PLATFORM::DesktopFolder() + kMainEntry;
    const QString quickCopy = PLATFORM::QuickLaunchFolder() + kMainEntry;
    const QString startupCopy = PLATFORM::StartupFolder() + kMainEntry;
    EXPECT_EQ(QFileInfo::exists(desktopCopy), c.desktop);
    EXPECT_EQ(QFileInfo::exists(quickCopy), c.quickLaunch && c.quickLaunchFolder);
    EXPECT_EQ(QFileInfo::exists(startupCopy), c.autostart == 1);
    if (c.desktop) {
        EXPECT_EQ(ExecOf(desktopCopy), QStringList{target});
        // Desktops refuse to start entries without the run bit.
        EXPECT_TRUE(QFileInfo(desktopCopy).isExecutable());
    }
    EXPECT_FALSE(QFileInfo(MenuFolder() + kMainEntry).isExecutable());
    if (c.autostart == 1) {
        EXPECT_EQ(ExecOf(startupCopy), (QStringList{target, "-autostart"}));
    }
    if (!c.quickLaunchFolder) {
        EXPECT_FALSE(QFileInfo::exists(PLATFORM::QuickLaunchFolder()));
    }

    // Nothing else anywhere: one menu entry per link plus the chosen copies.
    const int expected =
        2 + (c.desktop ? 1 : 0) + (c.quickLaunch && c.quickLaunchFolder ? 1 : 0) + (c.autostart == 1 ? 1 : 0);
    EXPECT_EQ(Written().size(), expected) << Written().join(", ").toStdString();
    ExpectAllValid();
}

const CopyCase kCopyCases[] = {
    {"all_copies", true, true, 1, true},
    {"no_options_autostart", false, false, 1, true},
    {"no_options_no_autostart", false, false, 0, true},
    {"desktop_only", true, false, 0, false},
    {"quick_launch_folder_missing", false, true, 0, false},
    {"autostart_other_than_one", true, false, 2, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, ShortcutCopiesTest, testing::ValuesIn(kCopyCases),
                         TESTS::CaseNameBy<&CopyCase::label>());

TEST_F(ShortcutsTest, MainProgramFirstStillPutsTheUninstallLinkInTheMenu)
{
    QDir().mkpath(PLATFORM::QuickLaunchFolder());
    engine.Manifest.shortcut.reverse();
    engine.Manifest.shortcut.push_back(LinkEntry(QStringLiteral("$intallpath$\\doc\\readme.txt"),
                                                 QStringLiteral("Readme"), QStringLiteral("doc"),
                                                 QStringLiteral("Readme.LNK")));
    ASSERT_TRUE(engine.CreateShortcuts(false, true).menuFolder);
    EXPECT_EQ(Entries(MenuFolder()), (QStringList{"Readme.desktop", kMainEntry, kUninstallEntry}));
    EXPECT_EQ(Entries(PLATFORM::QuickLaunchFolder()), QStringList{kMainEntry});
    ExpectAllValid();
}

TEST_F(ShortcutsTest, SecondCallRewritesTheEntriesInPlace)
{
    ASSERT_TRUE(engine.CreateShortcuts(false, false).menuFolder);
    const QString menuEntry = MenuFolder() + kMainEntry;
    const QByteArray first = TESTS::ReadFileBytes(menuEntry);
    TESTS::WriteFileBytes(menuEntry, "[Desktop Entry]\nType=Application\nName=Stale\nExec=/bin/false\n");

    ASSERT_TRUE(engine.CreateShortcuts(true, false).menuFolder);
    EXPECT_EQ(TESTS::ReadFileBytes(menuEntry), first);
    EXPECT_EQ(Entries(MenuFolder()), (QStringList{kMainEntry, kUninstallEntry}));
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::DesktopFolder() + kMainEntry));
    ExpectAllValid();
}

TEST_F(ShortcutsTest, WithoutMainProgramThereAreNoCopies)
{
    QDir().mkpath(PLATFORM::QuickLaunchFolder());
    engine.Manifest.shortcut.remove_if([](const CInstShortcutInfo& l) { return l.type == "mainprog"; });
    // The keyword is exact: this one is a plain menu entry.
    engine.Manifest.shortcut.push_back(LinkEntry(QStringLiteral("$intallpath$\\LabelCloud"),
                                                 QStringLiteral("LC"), QStringLiteral("MainProg"),
                                                 QStringLiteral("LC.lnk")));
    ASSERT_TRUE(engine.CreateShortcuts(true, true).menuFolder);
    EXPECT_EQ(engine.Manifest.mainprogPath, QString());
    EXPECT_EQ(Written().size(), 2) << Written().join(", ").toStdString();
    EXPECT_EQ(Entries(MenuFolder()), (QStringList{"LC.desktop", kUninstallEntry}));
}

TEST_F(ShortcutsTest, EntriesSurviveAwkwardTargetsAndNames)
{
    engine.InstallFolder = TESTS::SandboxPath(QStringLiteral("opt/Tes \"saly\" $HOME `x` \\ 标签/"));
    engine.Manifest.version.prog = QStringLiteral("标签云 & Print");
    engine.Manifest.shortcut = {LinkEntry(QStringLiteral("$intallpath$\\Label Cloud 100%"),
                                          QStringLiteral("说明: it's \"quoted\""), QStringLiteral("mainprog"),
                                          QStringLiteral("标签 Cloud.lnk"))};
    ASSERT_TRUE(engine.CreateShortcuts(true, false).menuFolder);
    const QString entry = MenuFolder() + QStringLiteral("标签 Cloud.desktop");
    EXPECT_EQ(ExecOf(entry), QStringList{engine.InstallFolder + QStringLiteral("Label Cloud 100%")});
    EXPECT_EQ(Written().size(), 3) << Written().join(", ").toStdString();
    ExpectAllValid();
}

TEST_F(ShortcutsTest, LinkNamesThatLeaveTheFolderAreSkipped)
{
    engine.Manifest.shortcut = {
        LinkEntry(QStringLiteral("$intallpath$\\LabelCloud"), QStringLiteral("x"), QStringLiteral("mainprog"),
                  QStringLiteral("../../escape.lnk")),
        LinkEntry(QStringLiteral("$intallpath$\\LabelCloud"), QStringLiteral("x"), QString(), QString()),
        LinkEntry(QStringLiteral("$intallpath$\\LabelCloud"), QStringLiteral("x"), QString(),
                  QStringLiteral("ok.lnk")),
    };
    ASSERT_TRUE(engine.CreateShortcuts(true, false).menuFolder);
    EXPECT_EQ(Written(),
              QStringList{QDir(TESTS::SandboxRoot()).relativeFilePath(MenuFolder() + "ok.desktop")});
}

// Starting the product needs only the main program's target, so it is known
// whatever becomes of the menu folder or of the main program's entry.
struct MainProgramCase {
    const char* label;
    void (*prepare)(CInstallEngine& engine);
    bool menuFolder;  // whether the menu folder can be made (the result)
};

void PrintTo(const MainProgramCase& c, std::ostream* os)
{
    *os << c.label;
}

void SetMainLinkName(CInstallEngine& engine, const QString& lnk)
{
    for (CInstShortcutInfo& link : engine.Manifest.shortcut) {
        if (link.type == QLatin1String("mainprog"))
            link.lnk = lnk;
    }
}

const MainProgramCase kMainProgramCases[] = {
    {"link_name_climbs_out",
     [](CInstallEngine& engine) { SetMainLinkName(engine, QStringLiteral("../../escape.lnk")); }, true},
    {"link_name_empty", [](CInstallEngine& engine) { SetMainLinkName(engine, QString()); }, true},
    {"link_file_place_is_a_folder",
     [](CInstallEngine& engine) {
         QDir().mkpath(PLATFORM::ProgramsMenuFolder() + engine.Manifest.version.prog + u'/' + kMainEntry);
     },
     true},
    {"menu_folder_place_is_a_file",
     [](CInstallEngine& engine) {
         TESTS::WriteFileBytes(PLATFORM::ProgramsMenuFolder() + engine.Manifest.version.prog, "in the way");
     },
     false},
    {"menu_parent_is_a_file",
     [](CInstallEngine&) { TESTS::WriteFileBytes(PLATFORM::ProgramsMenuFolder().chopped(1), "in the way"); },
     false},
    {"no_plain_menu_folder_name",
     [](CInstallEngine& engine) {
         engine.Manifest.version.prog = QStringLiteral("..");
         engine.Manifest.info.prog = QStringLiteral("a/b");
     },
     false},
};

class MainProgramTest : public ShortcutsTest, public testing::WithParamInterface<MainProgramCase> {};

TEST_P(MainProgramTest, IsKnownWhateverBecomesOfItsEntry)
{
    GetParam().prepare(engine);
    EXPECT_EQ(engine.CreateShortcuts(false, false).menuFolder, GetParam().menuFolder);
    EXPECT_EQ(engine.Manifest.mainprogPath, engine.InstallFolder + QStringLiteral("LabelCloud"));
    // No menu entry for the main program; without a menu folder, no entry at all.
    EXPECT_FALSE(QFileInfo(MenuFolder() + kMainEntry).isFile());
    if (!GetParam().menuFolder) {
        EXPECT_EQ(Written(), QStringList{});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MainProgramTest, testing::ValuesIn(kMainProgramCases),
                         TESTS::CaseNameBy<&MainProgramCase::label>());

TEST_F(ShortcutsTest, RemovalDeletesMenuFolderAndCopiesAndToleratesMissingOnes)
{
    QDir().mkpath(PLATFORM::QuickLaunchFolder());
    const QString otherEntry = PLATFORM::ProgramsMenuFolder() + QStringLiteral("other.desktop");
    TESTS::WriteFileBytes(otherEntry, "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
    const struct {
        const char* label;
        bool desktop;
    } cases[] = {{"with desktop copy", true}, {"desktop copy declined", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(engine.CreateShortcuts(c.desktop, true).menuFolder);
        // At removal the menu folder is found by the product's folder name.
        engine.Manifest.info.prog = engine.Manifest.version.prog;
        EXPECT_TRUE(engine.RemoveShortcuts());
        EXPECT_FALSE(QFileInfo::exists(MenuFolder()));
        EXPECT_EQ(Written(), QStringList{QDir(TESTS::SandboxRoot()).relativeFilePath(otherEntry)});
        engine.Manifest.info.prog = QStringLiteral("LabelCloud");
    }
}

TEST_F(ShortcutsTest, RemovalFindsTheMenuFolderByTitleWhenTheProductNameDiffers)
{
    ASSERT_TRUE(engine.CreateShortcuts(true, false).menuFolder);
    ASSERT_NE(engine.Manifest.info.prog, engine.Manifest.version.prog);
    EXPECT_TRUE(engine.RemoveShortcuts());
    EXPECT_FALSE(QFileInfo::exists(MenuFolder()));
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::DesktopFolder() + kMainEntry));
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::StartupFolder() + kMainEntry));
}

TEST_F(ShortcutsTest, RemovalWithoutAProductNameOrTitleLeavesTheMenuAlone)
{
    const QString otherEntry = PLATFORM::ProgramsMenuFolder() + QStringLiteral("other.desktop");
    TESTS::WriteFileBytes(otherEntry, "[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
    for (const char16_t* prog : {u"", u".", u"..", u"../x"}) {
        SCOPED_TRACE(QString::fromUtf16(prog).toStdString());
        engine.Manifest.info.prog = QString::fromUtf16(prog);
        engine.Manifest.version.prog = QString::fromUtf16(prog);
        EXPECT_TRUE(engine.RemoveShortcuts());
        EXPECT_TRUE(QFileInfo::exists(otherEntry));
    }
}

TEST_F(ShortcutsTest, ShellLinkNeedsAFileAndLeavesOutAnAbsentDescription)
{
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("links")));
    EXPECT_FALSE(
        engine.CreateShellLink(QStringLiteral("/bin/true"), QString(), QStringLiteral("d"), QString()));

    const QString link = TESTS::SandboxPath(QStringLiteral("links/Tool.lnk"));
    ASSERT_TRUE(engine.CreateShellLink(QStringLiteral("/bin/true"), link, std::nullopt,
                                       QStringLiteral("-a \"b c\"")));
    const auto values =
        PLATFORM::ReadDesktopEntryFile(TESTS::SandboxPath(QStringLiteral("links/Tool.desktop")));
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(values->value(QStringLiteral("Name")), QStringLiteral("Tool"));
    EXPECT_FALSE(values->contains(QStringLiteral("Comment")));
    EXPECT_EQ(PLATFORM::SplitExec(values->value(QStringLiteral("Exec"))),
              (QStringList{"/bin/true", "-a", "b c"}));
    ExpectAllValid();
}

}  // namespace
