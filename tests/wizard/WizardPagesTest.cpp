// The pages of every run mode as the wizard shows them, and every transition
// between them, driven by clicks on a real engine in the sandbox.
#include "support/CaseName.h"

#include "app/ConsoleMessageBox.h"
#include "app/ModeTitle.h"
#include "app/UnattendedRun.h"
#include "app/WorkProcedures.h"
#include "common/TextFormat.h"
#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"
#include "wizard/WizardTestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

using PLATFORM::RegRoot;
using TESTS::Click;
using TESTS::CTestWizard;
using TESTS::WizardTest;

const QString kProduct = QStringLiteral("Tessaly Label Cloud & Print");
const QString kVersion = QStringLiteral("6.32.1908");

QString T(int id, const QStringList& args = {})
{
    return FormatMessage(id, args);
}

QString M(RunMode mode)
{
    return ModeTitle(mode, kProduct, false);
}

// What a page shows. An empty text means hidden; -1 a check state not shown.
struct ExpectedPage {
    WizardPage page;
    QString description;
    QString stepLine;
    QString overallLine;
    QString first;
    int firstChecked;
    QString second;
    int secondChecked;
    bool links;
    bool folder;
    bool stepBar;
    bool overallBar;
    QString primary;
    QString secondary;
    bool primaryEnabled;
};

struct ModeTable {
    const char* name;
    RunMode mode;
    std::function<std::vector<ExpectedPage>()> rows;
};

void PrintTo(const ModeTable& t, std::ostream* os)
{
    *os << t.name;
}
// clang-format off

std::vector<ExpectedPage> ShortcutAndFinishRows(RunMode mode, const QString& finished)
{
    return {
        {WizardPage::Shortcuts, T(1320, {M(mode), kProduct}), {}, {}, T(1318), 1, T(1319), 1, false, false, false, false,
         T(1204), {}, true},
        {WizardPage::Finished, finished, {}, {}, {}, -1, T(1321, {kProduct}), 1, false, false, false, false, T(1202), {},
         true},
    };
}

std::vector<ExpectedPage> InstallRows()
{
    const RunMode m = RunMode::Install;
    std::vector<ExpectedPage> rows = {
        {WizardPage::Licence, T(1304, {M(m), kProduct, kVersion}), {}, {}, {}, -1, FormatText(GetTextString(1303).split(u'\n')[0], {kProduct}), 0, true, false, false, false,
         T(1204), T(1205), false},
        {WizardPage::Location, T(1307, {M(m)}), T(1308, {QStringLiteral("46")}), {}, T(1324), 0, {}, -1, false, true, false, false, T(1204),
         T(1205), true},
        {WizardPage::Ready, T(1309, {M(m), kProduct}), {}, T(1310), {}, -1, {}, -1, false, false, false, false, T(1204), T(1205), true},
        {WizardPage::Installing, T(1311, {M(m), kProduct}), {}, {}, {}, -1, {}, -1, false, false, true, true, {}, T(1205), true},
    };
    for (const ExpectedPage& r : ShortcutAndFinishRows(m, T(1322, {M(m), kProduct})))
        rows.push_back(r);
    return rows;
}

std::vector<ExpectedPage> UpgradeRows()
{
    const RunMode m = RunMode::Upgrade;
    std::vector<ExpectedPage> rows = {
        {WizardPage::Ready, T(1402, {M(m), kProduct, QStringLiteral("6.1.0"), kVersion}), {}, T(1403), {}, -1, {}, -1, false, false, false,
         false, T(1204), T(1205), true},
        {WizardPage::Installing, T(1404, {M(m), kProduct, kVersion}), T(1405), {}, {}, -1, {}, -1, false, false, true, true, {}, T(1205), true},
    };
    for (const ExpectedPage& r : ShortcutAndFinishRows(m, T(1407, {M(m), kProduct, kVersion})))
        rows.push_back(r);
    return rows;
}

std::vector<ExpectedPage> RepairRows()
{
    const RunMode m = RunMode::Repair;
    std::vector<ExpectedPage> rows = {
        {WizardPage::Ready, T(1503, {M(m), kProduct, kVersion}), {}, T(1502), {}, -1, {}, -1, false, false, false, false, T(1204),
         T(1205), true},
        // The primary button stays disabled while the repair runs.
        {WizardPage::Installing, T(1504, {M(m), kProduct, kVersion}), T(1505), {}, {}, -1, {}, -1, false, false, true, false, T(1204), {},
         false},
    };
    for (const ExpectedPage& r : ShortcutAndFinishRows(m, T(1506, {M(m), kProduct, kVersion})))
        rows.push_back(r);
    return rows;
}

std::vector<ExpectedPage> RemovalRows(RunMode m)
{
    return {
        {WizardPage::RemovalChoice, T(1605, {M(m), kProduct}), {}, T(1602), T(1603, {kProduct}), 0, T(1604, {kProduct}), 1, false, false, false,
         false, T(1204), T(1205), true},
        {WizardPage::RemovalConfirm, T(1606, {M(m), kProduct}), T(1607, {kProduct}), {}, {}, -1, {}, -1, false, false, false, false, T(1206),
         T(1205), true},
        {WizardPage::Removing, T(1608, {M(m), kProduct}), {}, T(1604, {kProduct}), {}, -1, {}, -1, false, false, true, true, {}, T(1205),
         true},
        {WizardPage::Removed, T(1613, {M(m), kProduct}), {}, {}, {}, -1, T(1612), 0, false, false, false, false, T(1202), {}, true},
        {WizardPage::RemovingUserData, T(1614, {M(m)}), T(1615), {}, {}, -1, {}, -1, false, false, true, false, {}, T(1205), true},
        {WizardPage::UserDataRemoved, T(1613, {M(m), kProduct}), {}, {}, {}, -1, {}, -1, false, false, false, false, T(1202), {}, true},
    };
}
// clang-format on

class PageTable : public WizardTest, public testing::WithParamInterface<ModeTable> {};

TEST_P(PageTable, EachPageShowsWhatItsRowSays)
{
    const ModeTable& table = GetParam();
    engine.PreviousVersion = QStringLiteral("6.1.0");
    CTestWizard& dlg = Open(table.mode);
    engine.PreviousVersion = QStringLiteral("6.1.0");
    // The code's table has these pages in this order, and each shows as its row says.
    const std::vector<ExpectedPage> rows = table.rows();
    const std::vector<PageRow>& pages = PagesOf(table.mode);
    ASSERT_EQ(pages.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(pages[i].page, rows[i].page) << "page " << i;
    for (const ExpectedPage& row : rows) {
        SCOPED_TRACE("page " + std::to_string(PageIndex(table.mode, row.page)));
        dlg.ShowPage(table.mode, row.page);
        EXPECT_EQ(dlg.Page(), row.page);
        EXPECT_EQ(Text("description_1002"), row.description);
        EXPECT_TRUE(Shown("description_1002"));
        // The ready pages add the room the run needs below their text.
        const bool ready = row.page == WizardPage::Ready;
        const QString space = SpaceNeededLine(engine);
        if (ready) {
            EXPECT_FALSE(space.isEmpty());
        }
        const QString overallLine = ready ? row.overallLine + u'\n' + space : row.overallLine;
        for (const auto& [name, text] :
             {std::pair{"stepLine_1003", row.stepLine}, std::pair{"overallLine_1004", overallLine}}) {
            EXPECT_EQ(Text(name), text) << name;
            EXPECT_EQ(Shown(name), !text.isEmpty()) << name;
        }
        const struct {
            const char* name;
            QString text;
            int checked;
        } boxes[] = {{"firstOption_1009", row.first, row.firstChecked},
                     {"secondOption_1010", row.second, row.secondChecked}};
        for (const auto& box : boxes) {
            EXPECT_EQ(Shown(box.name), !box.text.isEmpty()) << box.name;
            if (box.text.isEmpty())
                continue;
            EXPECT_EQ(Text(box.name), box.text) << box.name;
            EXPECT_EQ(int(TESTS::Control<CONTROL::CCheckButtonST>(dlg, box.name)->checked), box.checked)
                << box.name;
        }
        for (const char* name : {"licenceLink_1011", "privacyLink_1012", "conjunctionLabel_1013"})
            EXPECT_EQ(Shown(name), row.links) << name;
        EXPECT_EQ(Shown("folderBox_1017"), row.folder);
        EXPECT_EQ(Shown("browseButton_1018"), row.folder);
        if (row.folder) {
            EXPECT_EQ(TESTS::Control<QLineEdit>(dlg, "folderBox_1017")->text(), engine.InstallFolder);
        }
        for (const auto& [name, shown] :
             {std::pair{"stepBar_1000", row.stepBar}, std::pair{"overallBar_1001", row.overallBar}}) {
            EXPECT_EQ(Shown(name), shown) << name;
            EXPECT_EQ(TESTS::Control<CONTROL::CProGressButtonST>(dlg, name)->position.Get(), 0) << name;
        }
        for (const auto& [name, caption] :
             {std::pair{"primaryButton_1", row.primary}, std::pair{"secondaryButton_2", row.secondary}}) {
            EXPECT_EQ(Shown(name), !caption.isEmpty()) << name;
            if (!caption.isEmpty()) {
                EXPECT_EQ(Text(name), caption) << name;
            }
        }
        EXPECT_EQ(TESTS::Control(dlg, "primaryButton_1")->isEnabled(), row.primaryEnabled);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PageTable,
                         testing::Values(ModeTable{"Install", RunMode::Install, InstallRows},
                                         ModeTable{"Upgrade", RunMode::Upgrade, UpgradeRows},
                                         ModeTable{"Repair", RunMode::Repair, RepairRows},
                                         ModeTable{"Uninstall", RunMode::Uninstall,
                                                   [] { return RemovalRows(RunMode::Uninstall); }},
                                         ModeTable{"DoUninstall", RunMode::DoUninstall,
                                                   [] { return RemovalRows(RunMode::DoUninstall); }}),
                         TESTS::CaseName());

TEST_F(WizardTest, OpensOnTheFirstPageOfTheRunMode)
{
    const std::pair<RunMode, WizardPage> cases[] = {{RunMode::Install, WizardPage::Licence},
                                                    {RunMode::Upgrade, WizardPage::Ready},
                                                    {RunMode::Repair, WizardPage::Ready},
                                                    {RunMode::Uninstall, WizardPage::RemovalChoice},
                                                    {RunMode::DoUninstall, WizardPage::RemovalConfirm}};
    for (const auto& [mode, page] : cases) {
        EXPECT_EQ(Open(mode).Page(), page) << int(mode);
        wizard.reset();
    }
}

TEST_F(WizardTest, OnlineSearchBoxOnlyForAnUpgradeAddress)
{
    const struct {
        const char* url;
        bool shown;
    } cases[] = {{"http://127.0.0.1:8765/upgrade.xml", true},
                 {"http://a.b", false},
                 {"http://a.bc", true},
                 {"", false}};
    for (const auto& c : cases) {
        CTestWizard& dlg = Open(RunMode::Install);
        engine.Manifest.info.url = QString::fromLatin1(c.url);
        dlg.ShowPage(RunMode::Install, WizardPage::Location);
        EXPECT_EQ(Shown("firstOption_1009"), c.shown) << c.url;
        wizard.reset();
    }
}

TEST_F(WizardTest, InstallRunsThroughEveryPage)
{
    CTestWizard& dlg = Open(RunMode::Install);
    const QString defaultFolder = engine.InstallFolder;

    // Licence: the primary button follows the box.
    for (int expectEnabled : {1, 0, 1}) {
        Click(dlg, "secondOption_1010");
        EXPECT_EQ(TESTS::Control(dlg, "primaryButton_1")->isEnabled(), expectEnabled == 1);
    }
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Ready);

    // Back to the location page, a new folder, back to the ready page.
    Click(dlg, "secondaryButton_2");
    EXPECT_EQ(dlg.Page(), WizardPage::Location);
    dlg.folderToPick = TESTS::SandboxPath(QStringLiteral("apps/labels"));
    Click(dlg, "browseButton_1018");
    EXPECT_EQ(dlg.pickerStartedAt, defaultFolder);
    EXPECT_EQ(engine.InstallFolder, TESTS::SandboxPath(QStringLiteral("apps/labels/")));
    EXPECT_EQ(TESTS::Control<QLineEdit>(dlg, "folderBox_1017")->text(), engine.InstallFolder);
    // Cancelling the picker changes nothing.
    dlg.folderToPick.clear();
    Click(dlg, "browseButton_1018");
    EXPECT_EQ(engine.InstallFolder, TESTS::SandboxPath(QStringLiteral("apps/labels/")));

    // Location page back to the licence page: the box is unticked again.
    Click(dlg, "secondaryButton_2");
    EXPECT_EQ(dlg.Page(), WizardPage::Licence);
    EXPECT_EQ(int(TESTS::Control<CONTROL::CCheckButtonST>(dlg, "secondOption_1010")->checked), 0);
    EXPECT_FALSE(TESTS::Control(dlg, "primaryButton_1")->isEnabled());
    Click(dlg, "secondOption_1010");
    Click(dlg, "primaryButton_1");
    Click(dlg, "secondaryButton_2");
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Ready);
    EXPECT_EQ(dlg.upgradeChecks, 0);

    // The installation itself: on to the shortcut page, the buttons enabled again.
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Shortcuts);
    EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")));
    EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("uninstall.xml")));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, engine.ProductKey, QStringLiteral("InstallPath")),
              engine.InstallFolder);
    EXPECT_TRUE(TESTS::Control(dlg, "closeButton_1006")->isEnabled());
    EXPECT_EQ(TESTS::Control<CONTROL::CProGressButtonST>(dlg, "overallBar_1001")->position.Get(), 0);

    // No desktop link, Quick Launch left ticked.
    const QString desktopEntry = PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Cloud.desktop");
    Click(dlg, "firstOption_1009");
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Finished);
    EXPECT_FALSE(QFileInfo::exists(desktopEntry));
    EXPECT_TRUE(Boxes().Shown().empty());

    // Finish: the product starts, the wizard closes with the OK result.
    Click(dlg, "primaryButton_1");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].path, engine.Manifest.mainprogPath);
    EXPECT_EQ(started[0].arguments, QStringList());
}

TEST_F(WizardTest, FinishStartsNothingUnticked)
{
    CTestWizard& dlg = Open(RunMode::Install);
    dlg.companionNeeded = true;
    engine.Manifest.mainprogPath = QStringLiteral("/opt/x/LabelCloud");
    for (const bool tickCompanion : {true, false}) {
        dlg.ShowPage(RunMode::Install, WizardPage::Finished);
        EXPECT_EQ(Text("firstOption_1009"), QStringLiteral("安装标签编辑程序"));
        if (!tickCompanion)
            Click(dlg, "firstOption_1009");
        Click(dlg, "secondOption_1010");
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        dlg.show();
    }
    EXPECT_EQ(dlg.companionInstalls, (std::vector<bool>{true, false}));
    EXPECT_TRUE(started.empty());
}

TEST_F(WizardTest, OnlineSearchClosesWhenANewerInstallerStarted)
{
    for (const bool newer : {false, true}) {
        CTestWizard& dlg = Open(RunMode::Install);
        dlg.upgradeStarted = newer;
        dlg.ShowPage(RunMode::Install, WizardPage::Location);
        Click(dlg, "firstOption_1009");
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.upgradeChecks, 1);
        EXPECT_EQ(dlg.isVisible(), !newer);
        if (newer) {
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
        } else {
            EXPECT_EQ(dlg.Page(), WizardPage::Ready);
        }
        wizard.reset();
    }
}

TEST_F(WizardTest, SecondaryAndCloseButtonsCloseWithTheCancelResult)
{
    const struct {
        RunMode mode;
        WizardPage page;
        const char* button;
    } cases[] = {
        {RunMode::Install, WizardPage::Licence, "secondaryButton_2"},
        {RunMode::Upgrade, WizardPage::Ready, "secondaryButton_2"},
        {RunMode::Repair, WizardPage::Ready, "secondaryButton_2"},
        {RunMode::Uninstall, WizardPage::RemovalChoice, "secondaryButton_2"},
        {RunMode::DoUninstall, WizardPage::RemovalConfirm, "secondaryButton_2"},
        {RunMode::Install, WizardPage::Location, "closeButton_1006"},
        {RunMode::Install, WizardPage::Shortcuts, "closeButton_1006"},
        {RunMode::Upgrade, WizardPage::Finished, "closeButton_1006"},
        {RunMode::DoUninstall, WizardPage::Removed, "closeButton_1006"},
        {RunMode::DoUninstall, WizardPage::UserDataRemoved, "closeButton_1006"},
    };
    for (const auto& c : cases) {
        CTestWizard& dlg = Open(c.mode);
        dlg.ShowPage(c.mode, c.page);
        Click(dlg, c.button);
        EXPECT_FALSE(dlg.isVisible()) << int(c.mode) << "/" << int(c.page) << " " << c.button;
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        wizard.reset();
    }
}

TEST_F(WizardTest, EscapeOutsideTheProceduresFollowsTheSecondaryTable)
{
    const struct {
        RunMode mode;
        WizardPage page;
        std::optional<WizardPage> pageAfter;  // none: closed with the cancel result
    } cases[] = {
        {RunMode::Install, WizardPage::Licence, std::nullopt},
        {RunMode::Install, WizardPage::Location, WizardPage::Licence},
        {RunMode::Install, WizardPage::Ready, WizardPage::Location},
        {RunMode::Install, WizardPage::Shortcuts, WizardPage::Shortcuts},
        {RunMode::Install, WizardPage::Finished, WizardPage::Finished},
        {RunMode::Upgrade, WizardPage::Shortcuts, WizardPage::Shortcuts},
        {RunMode::Repair, WizardPage::Finished, WizardPage::Finished},
        {RunMode::DoUninstall, WizardPage::Removed, WizardPage::Removed},
    };
    for (const auto& c : cases) {
        CTestWizard& dlg = Open(c.mode);
        dlg.ShowPage(c.mode, c.page);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        if (!c.pageAfter) {
            EXPECT_FALSE(dlg.isVisible());
            EXPECT_EQ(dlg.result(), QDialog::Rejected);
        } else {
            EXPECT_TRUE(dlg.isVisible()) << int(c.mode) << "/" << int(c.page);
            EXPECT_EQ(dlg.Page(), c.pageAfter);
        }
        wizard.reset();
    }
}

TEST_F(WizardTest, EnterPressesOnlyAnEnabledPrimaryButton)
{
    CTestWizard& dlg = Open(RunMode::Install);
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_EQ(dlg.Page(), WizardPage::Licence);
    Click(dlg, "secondOption_1010");
    QTest::keyClick(&dlg, Qt::Key_Return);
    EXPECT_EQ(dlg.Page(), WizardPage::Ready);
}

TEST_F(WizardTest, LinksOpenThePublishersPagesOverHttps)
{
    const struct {
        quint16 lang;
        const char* licence;
        const char* privacy;
    } cases[] = {
        {kLangChinesePrc, "https://www.tessaly.com/about/index.aspx?sign=license",
         "https://www.tessaly.com/about/index.aspx?sign=privacy"},
        {kLangChineseTaiwan, "https://www.tessaly.com/about/index.aspx?sign=license",
         "https://www.tessaly.com/about/index.aspx?sign=privacy"},
        {kLangEnglishUs, "https://www.tessaly.com/tessaly/eula/eula.html",
         "https://www.tessaly.com/tessaly/eula/eups.html"},
    };
    for (const auto& c : cases) {
        SetSystemLanguageId(c.lang);
        CTestWizard& dlg = Open(RunMode::Install);
        Click(dlg, "licenceLink_1011");
        Click(dlg, "privacyLink_1012");
        EXPECT_EQ(dlg.openedLinks,
                  (QStringList{QString::fromLatin1(c.licence), QString::fromLatin1(c.privacy)}));
        EXPECT_EQ(dlg.Page(), WizardPage::Licence);
        wizard.reset();
    }
}

TEST_F(WizardTest, RunningProductBlocksTheInstallUntilItIsGone)
{
    CTestWizard& dlg = Open(RunMode::Install);
    dlg.ShowPage(RunMode::Install, WizardPage::Ready);
    engine.programRunning = true;
    Boxes().AnswerNext(MessageAnswer::No);
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Ready);
    ASSERT_EQ(Boxes().Shown().size(), 1u);
    EXPECT_EQ(Boxes().Shown()[0].text, T(1102, {kProduct, kProduct}));
    EXPECT_EQ(Boxes().Shown()[0].icon, MessageIcon::Question);
    EXPECT_EQ(Boxes().Shown()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(Boxes().Shown()[0].caption, QStringLiteral("LabelCloudSetup"));
    EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")));

    engine.programRunning = false;
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Shortcuts);
    EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")));
}

// Escape reaches the wizard while the file step pumps messages.
class CancelDuringFiles : public WizardTest, public testing::WithParamInterface<bool> {};

TEST_P(CancelDuringFiles, YesStopsTheInstallationNoLetsItFinish)
{
    const bool yes = GetParam();
    CTestWizard& dlg = Open(RunMode::Install);
    dlg.ShowPage(RunMode::Install, WizardPage::Ready);
    int pumps = 0;
    QString stepLineAtCancel;
    SetPumpMessagesHook([&] {
        if (++pumps == 2) {
            stepLineAtCancel = Text("stepLine_1003");
            QCoreApplication::postEvent(&dlg,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        }
    });
    Boxes().AnswerNext(yes ? MessageAnswer::Yes : MessageAnswer::No);
    Boxes().AnswerNext(MessageAnswer::Ok);
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(stepLineAtCancel, T(1314));
    ASSERT_GE(Boxes().Shown().size(), 1u);
    EXPECT_EQ(Boxes().Shown()[0].text, T(1103));
    EXPECT_EQ(Boxes().Shown()[0].icon, MessageIcon::Question);
    if (yes) {
        ASSERT_EQ(Boxes().Shown().size(), 2u);
        // Text 1106, then the reason on its own line.
        EXPECT_EQ(Boxes().Shown()[1].text.section(u'\n', 0, 0), T(1106));
        EXPECT_EQ(Boxes().Shown()[1].icon, MessageIcon::Warning);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("uninstall.xml")));
    } else {
        EXPECT_EQ(Boxes().Shown().size(), 1u);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.Page(), WizardPage::Shortcuts);
        EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("uninstall.xml")));
    }
}

std::string AnswerName(const testing::TestParamInfo<bool>& answer)
{
    return answer.param ? "Yes" : "No";
}

INSTANTIATE_TEST_SUITE_P(Answers, CancelDuringFiles, testing::Values(true, false), AnswerName);

TEST_F(WizardTest, ButtonsAreOffWhileTheInstallationRuns)
{
    CTestWizard& dlg = Open(RunMode::Install);
    dlg.ShowPage(RunMode::Install, WizardPage::Ready);
    std::vector<std::string> seen;
    SetPumpMessagesHook([&] {
        seen.push_back(std::to_string(PageIndex(RunMode::Install, dlg.Page()))
                       + (TESTS::Control(dlg, "secondaryButton_2")->isEnabled() ? "+" : "-")
                       + (TESTS::Control(dlg, "closeButton_1006")->isEnabled() ? "+" : "-")
                       + (Shown("primaryButton_1") ? "P" : ""));
    });
    Click(dlg, "primaryButton_1");
    ASSERT_FALSE(seen.empty());
    for (const std::string& s : seen)
        EXPECT_EQ(s, "3--");
    EXPECT_EQ(dlg.Page(), WizardPage::Shortcuts);
}

TEST_F(WizardTest, UpgradeAndRepairRunThroughTheirPages)
{
    for (const RunMode mode : {RunMode::Upgrade, RunMode::Repair}) {
        CTestWizard& dlg = Open(mode);
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.Page(), WizardPage::Shortcuts) << int(mode);
        EXPECT_TRUE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")));
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.Page(), WizardPage::Finished);
        EXPECT_TRUE(
            QFileInfo::exists(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Cloud.desktop")));
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(started.size(), 1u);
        started.clear();
        wizard.reset();
    }
}

TEST_F(WizardTest, FailedFileStepEndsWithTheMessageAndCloses)
{
    for (const RunMode mode : {RunMode::Install, RunMode::Upgrade, RunMode::Repair}) {
        CTestWizard& dlg = Open(mode);
        QFile::resize(engine.Package.path, 100);
        dlg.ShowPage(mode, WizardPage::Ready);
        Boxes().AnswerNext(MessageAnswer::Ok);
        Click(dlg, "primaryButton_1");
        ASSERT_EQ(Boxes().Shown().size(), 1u) << int(mode);
        EXPECT_EQ(Boxes().Shown()[0].text.section(u'\n', 0, 0), T(1106));
        EXPECT_EQ(Boxes().Shown()[0].icon, MessageIcon::Warning);
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        wizard.reset();
    }
}

TEST_F(WizardTest, RemovalChoiceBoxesActAsOnePair)
{
    CTestWizard& dlg = Open(RunMode::Uninstall);
    auto* repair = TESTS::Control<CONTROL::CCheckButtonST>(dlg, "firstOption_1009");
    auto* remove = TESTS::Control<CONTROL::CCheckButtonST>(dlg, "secondOption_1010");
    const char* clicks[] = {"firstOption_1009", "firstOption_1009",  "secondOption_1010",
                            "firstOption_1009", "secondOption_1010", "secondOption_1010"};
    for (const char* name : clicks) {
        Click(dlg, name);
        EXPECT_EQ(int(repair->checked) + int(remove->checked), 1) << name;
        EXPECT_EQ(Text("overallLine_1004"), T(repair->checked ? 1502 : 1602));
    }
    EXPECT_EQ(int(remove->checked), 1);
}

TEST_F(WizardTest, RepairChosenOnRemovalSaysWhereARepairComesFrom)
{
    CTestWizard& dlg = Open(RunMode::Uninstall);
    engine.Package.path.clear();
    Boxes().AnswerNext(MessageAnswer::Ok);
    Click(dlg, "firstOption_1009");
    Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::RemovalChoice);
    EXPECT_EQ(engine.Mode, RunMode::Uninstall);
    ASSERT_EQ(Boxes().Shown().size(), 1u);
    EXPECT_EQ(Boxes().Shown()[0].text, CNorvexSetupDlg::RepairNeedsInstallerText(kLangChinesePrc));
    EXPECT_EQ(Boxes().Shown()[0].icon, MessageIcon::Information);
    for (const quint16 lang : {kLangChinesePrc, kLangChineseTaiwan, kLangEnglishUs})
        EXPECT_FALSE(CNorvexSetupDlg::RepairNeedsInstallerText(lang).isEmpty());
    EXPECT_NE(CNorvexSetupDlg::RepairNeedsInstallerText(kLangChineseTaiwan),
              CNorvexSetupDlg::RepairNeedsInstallerText(kLangChinesePrc));
}

TEST_F(WizardTest, RemovalHandsOverToACopy)
{
    CTestWizard& dlg = Open(RunMode::Uninstall);
    // Without a file to copy the page stays and nothing is said.
    Click(dlg, "primaryButton_1");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.Page(), WizardPage::RemovalChoice);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(Boxes().Shown().empty());

    TESTS::WriteFileBytes(engine.ModulePath, "#!/bin/sh\nexit 0\n");
    Click(dlg, "primaryButton_1");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0].path.startsWith(PLATFORM::TempFolder() + QStringLiteral("UN")));
    EXPECT_EQ(TESTS::ReadFileBytes(started[0].path), "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(
        started[0].arguments,
        (QStringList{QStringLiteral("-douninstall"), engine.ModuleFolder + QStringLiteral("uninstall.xml")}));
}

class RemovalFromTheCopy : public WizardTest {
protected:
    // Installs the sample product unattended, then loads the removal copy's
    // engine from the installed uninstall.xml.
    void InstallFirst()
    {
        TESTS::LoadSampleProduct(engine, RunMode::Install);
        std::FILE* sink = std::fopen("/dev/null", "w");
        CConsoleMessageBox console;
        ASSERT_EQ(CUnattendedRun(engine, console, sink).Run(QString()), CUnattendedRun::kSuccess);
        std::fclose(sink);
        installFolder = engine.InstallFolder;
        ASSERT_TRUE(QFileInfo::exists(installFolder + QStringLiteral("uninstall.xml")));
    }
    CTestWizard& OpenCopy()
    {
        removal = std::make_unique<TESTS::CTestEngine>();
        removal->ModulePath = PLATFORM::TempFolder() + QStringLiteral("UNabc123.tmp");
        removal->ModuleFolder = installFolder;
        TESTS::WriteFileBytes(removal->ModulePath, "copy");
        EXPECT_TRUE(removal->Manifest.Load(installFolder + QStringLiteral("uninstall.xml")));
        removal->Mode = RunMode::DoUninstall;
        removal->DetectPreviousInstall();
        wizard = std::make_unique<CTestWizard>(*removal);
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return *wizard;
    }
    void TearDown() override
    {
        wizard.reset();
        removal.reset();
        WizardTest::TearDown();
    }
    QString installFolder;
    std::unique_ptr<TESTS::CTestEngine> removal;
};

TEST_F(RemovalFromTheCopy, RemovesAndKeepsTheUserDataUnlessTicked)
{
    for (const bool userData : {false, true}) {
        SCOPED_TRACE(userData ? "user data" : "kept");
        InstallFirst();
        const QString dataFolder = engine.AppDataFolder;
        TESTS::WriteFileBytes(dataFolder + QStringLiteral("Templates/mine.dat"), "user's own");
        CTestWizard& dlg = OpenCopy();
        EXPECT_EQ(dlg.Page(), WizardPage::RemovalConfirm);
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.Page(), WizardPage::Removed);
        EXPECT_FALSE(QFileInfo::exists(installFolder));
        EXPECT_TRUE(RegQueryString(RegRoot::CurrentUser, removal->ProductKey, QStringLiteral("InstallPath"))
                        .isEmpty());
        if (!userData) {
            Click(dlg, "primaryButton_1");
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_TRUE(QFileInfo::exists(dataFolder));
            continue;
        }
        // The caption follows the user-data box.
        for (const int caption : {1201, 1202, 1201}) {
            Click(dlg, "secondOption_1010");
            EXPECT_EQ(Text("primaryButton_1"), T(caption));
            EXPECT_FALSE(Shown("secondaryButton_2"));
        }
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.Page(), WizardPage::UserDataRemoved);
        EXPECT_FALSE(QFileInfo::exists(dataFolder));
        // The copy in the temporary folder is gone with it.
        EXPECT_FALSE(QFileInfo::exists(removal->ModulePath));
        Click(dlg, "primaryButton_1");
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        wizard.reset();
    }
}

TEST_F(RemovalFromTheCopy, EscapeDoesNotCloseTheWindowHalfWayThroughTheRemoval)
{
    InstallFirst();
    CTestWizard& dlg = OpenCopy();
    SetPumpMessagesHook([&] {
        QCoreApplication::postEvent(&dlg, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    Click(dlg, "primaryButton_1");
    SetPumpMessagesHook({});
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.Page(), WizardPage::Removed);
}

// The real folder picker: directories only, its title, opening at the folder.
class CPickingWizard : public CTestWizard {
public:
    using CTestWizard::CTestWizard;
    QString Pick(const QString& start) { return CNorvexSetupDlg::PickFolder(start); }
};

TEST_F(WizardTest, FolderPickerChoosesDirectoriesOnly)
{
    TESTS::LoadSampleProduct(engine, RunMode::Install);
    CPickingWizard dlg(engine);
    const QString start = TESTS::SandboxPath(QStringLiteral("apps"));
    const QString chosen = TESTS::SandboxPath(QStringLiteral("apps/labels"));
    QDir().mkpath(chosen);
    QString title;
    QString openedAt;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QTimer::singleShot(100, [&] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        title = picker->windowTitle();
        openedAt = picker->directory().absolutePath();
        mode = picker->fileMode();
        picker->setDirectory(chosen);
        static_cast<QDialog*>(picker)->accept();
    });
    EXPECT_EQ(dlg.Pick(start), chosen);
    EXPECT_EQ(title, T(1323));
    EXPECT_EQ(openedAt, start);
    EXPECT_EQ(mode, QFileDialog::Directory);
}

TEST(WidgetMessageBoxTest, ShowsAQuestionCaptionedWithTheApplicationName)
{
    TESTS::WidgetApplication();
    QWidget owner;
    owner.show();
    CWidgetMessageBox box(&owner,
                          CWidgetMessageBox::ApplicationNameOf(QStringLiteral("/opt/x/uninstall.exe")));
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        title = shown->windowTitle();
        icon = shown->icon();
        EXPECT_EQ(shown->parentWidget(), &owner);
        shown->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        box.Show(QStringLiteral("<b>really?</b>"), QString(), MessageIcon::Question, MessageButtons::YesNo),
        MessageAnswer::Yes);
    EXPECT_EQ(title, QStringLiteral("uninstall"));
    EXPECT_EQ(icon, QMessageBox::Question);
    // A queued answer is recorded without a box.
    box.AnswerNext(MessageAnswer::No);
    EXPECT_EQ(
        box.Show(QStringLiteral("t"), QStringLiteral("出错"), MessageIcon::Warning, MessageButtons::YesNo),
        MessageAnswer::No);
    ASSERT_EQ(box.Shown().size(), 2u);
    EXPECT_EQ(box.Shown()[1].caption, QStringLiteral("出错"));
    EXPECT_EQ(CWidgetMessageBox::ApplicationNameOf(QStringLiteral("/d/LabelPrintSetup")),
              QStringLiteral("LabelPrintSetup"));
}

}  // namespace
