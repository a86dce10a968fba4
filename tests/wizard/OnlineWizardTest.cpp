// The wizard's online parts on real servers and programs: the download
// progress window, the location page's upgrade check against the local test
// server, and the finish page's companion editor from a real package.
#include "WizardTestSupport.h"

#include "support/CaseName.h"

#include "engine/RegistryHelpers.h"
#include "platform/TempFiles.h"
#include "update/CompanionEditor.h"
#include "update/UpdateTestSupport.h"
#include "wizard/DownloadProgressDialog.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include <unistd.h>

using namespace UPDATETEST;
using PLATFORM::RegRoot;

namespace {

constexpr qint64 kGiB = qint64(1) << 30;

bool WaitForFile(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path) && timer.elapsed() < 30000)
        QThread::msleep(50);
    return QFile::exists(path);
}

QPushButton* CancelButton(QProgressDialog* dialog)
{
    return dialog ? dialog->findChild<QPushButton*>() : nullptr;
}

// The progress window on its own, modal to a plain window.
class DownloadProgressDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetSystemLanguageId(kLangChinesePrc);
        ClearProxyEnvironment();
        owner.resize(300, 200);
        owner.show();
        QDir().mkpath(TESTS::SandboxPath("dl"));
    }

    QApplication& application = TESTS::WidgetApplication();
    QWidget owner;
    CDownloadProgressDialog progress{&owner};
};

TEST_F(DownloadProgressDialogTest, ShowsTitleAndTwoLinesModalToItsWindow)
{
    EXPECT_EQ(progress.Dialog(), nullptr);
    progress.Start(QStringLiteral(u"下载文件"));
    progress.SetCancelMessage(QStringLiteral(u"用户中止下载操作..."));
    progress.SetLine(1, QStringLiteral(u"下载文件"));
    progress.SetLine(2, QStringLiteral(u"下载 升级程序  ( 0 / 120 )..."));

    QProgressDialog* dialog = progress.Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral(u"下载文件"));
    EXPECT_EQ(dialog->labelText(), QStringLiteral(u"下载文件\n下载 升级程序  ( 0 / 120 )..."));
    EXPECT_EQ(dialog->parentWidget(), &owner);
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    ASSERT_NE(CancelButton(dialog), nullptr);
    EXPECT_EQ(CancelButton(dialog)->text(), QStringLiteral(u"取消"));
    EXPECT_FALSE(progress.HasUserCancelled());

    progress.Stop();
    EXPECT_EQ(progress.Dialog(), nullptr);
}

// Cancel by the button or by Escape: the flag is raised once, the cancel
// message replaces the lines, and the window stays until the download stops.
class ProgressCancelTest : public DownloadProgressDialogTest, public testing::WithParamInterface<bool> {};

TEST_P(ProgressCancelTest, LeavesTheCancelMessageShowing)
{
    progress.Start(QStringLiteral(u"下载新版本安装程序"));
    progress.SetCancelMessage(QStringLiteral(u"用户中止下载操作..."));
    progress.SetLine(1, QStringLiteral(u"下载新版本安装程序"));
    progress.SetLine(2, QStringLiteral(u"下载 下载  ( 65536 / 5000000 )..."));
    QProgressDialog* dialog = progress.Dialog();
    ASSERT_NE(CancelButton(dialog), nullptr);
    if (GetParam())
        QTest::mouseClick(CancelButton(dialog), Qt::LeftButton);
    else
        QTest::keyClick(dialog, Qt::Key_Escape);

    EXPECT_TRUE(progress.HasUserCancelled());
    EXPECT_EQ(dialog->labelText(), QStringLiteral(u"用户中止下载操作..."));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(CancelButton(dialog)->isEnabled());
    // Lines the download still sets do not bring the old text back.
    progress.SetLine(2, QStringLiteral(u"下载 下载  ( 131072 / 5000000 )..."));
    EXPECT_EQ(dialog->labelText(), QStringLiteral(u"用户中止下载操作..."));

    // The next download starts uncancelled.
    progress.Start(QStringLiteral(u"下载文件"));
    EXPECT_FALSE(progress.HasUserCancelled());
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgressCancelTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& way) {
                             return std::string(way.param ? "Button" : "Escape");
                         });

struct BarCase {
    qint64 done;
    qint64 total;
    int maximum;
    int value;
};

void PrintTo(const BarCase& c, std::ostream* os)
{
    *os << c.done << " of " << c.total;
}

class ProgressBarTest : public DownloadProgressDialogTest, public testing::WithParamInterface<BarCase> {};

TEST_P(ProgressBarTest, ScalesSizesBeyondTheBarsRange)
{
    const BarCase& c = GetParam();
    progress.Start(QStringLiteral(u"下载文件"));
    progress.SetProgress(c.done, c.total);
    EXPECT_EQ(progress.Dialog()->maximum(), c.maximum);
    if (c.maximum > 0) {
        EXPECT_EQ(progress.Dialog()->value(), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProgressBarTest,
                         testing::Values(BarCase{0, 0, 0, 0}, BarCase{4096, 0, 0, 0},
                                         BarCase{50, 100, 100, 50}, BarCase{300, 100, 100, 100},
                                         BarCase{kGiB, std::numeric_limits<int>::max(),
                                                 std::numeric_limits<int>::max(), int(kGiB)},
                                         BarCase{3 * kGiB, 5 * kGiB, int(5 * kGiB / 4), int(3 * kGiB / 4)},
                                         BarCase{5 * kGiB, 5 * kGiB, int(5 * kGiB / 4), int(5 * kGiB / 4)},
                                         BarCase{kGiB, 40 * kGiB, int(40 * kGiB / 32), int(kGiB / 32)}));

// A display that remembers what its window showed, and presses Cancel once
// pressAt bytes have arrived.
class CWatchedProgressDialog : public CDownloadProgressDialog {
public:
    using CDownloadProgressDialog::CDownloadProgressDialog;
    void SetLine(int line, const QString& text) override
    {
        CDownloadProgressDialog::SetLine(line, text);
        labels << Dialog()->labelText();
    }
    void SetProgress(qint64 done, qint64 total) override
    {
        CDownloadProgressDialog::SetProgress(done, total);
        bar = {Dialog()->maximum(), Dialog()->value()};
        if (pressAt >= 0 && done >= pressAt && CancelButton(Dialog())->isEnabled()) {
            QTest::mouseClick(CancelButton(Dialog()), Qt::LeftButton);
            labels << Dialog()->labelText();
        }
    }
    qint64 pressAt = -1;
    QStringList labels;
    std::pair<int, int> bar;
};

TEST_F(DownloadProgressDialogTest, ShowsARealDownloadToItsEnd)
{
    CTestServer server;
    CWatchedProgressDialog watched(&owner);
    const QString target = TESTS::SandboxPath("dl/descriptor.xml");
    ASSERT_TRUE(HttpDownloadFile(server.Url("/gen/d?size=300000"), target, QStringLiteral(u"升级程序"),
                                 &watched, QStringLiteral(u"下载文件")));
    EXPECT_EQ(QFileInfo(target).size(), 300000);
    ASSERT_FALSE(watched.labels.isEmpty());
    EXPECT_EQ(watched.labels.first(), QStringLiteral(u"下载文件\n"));
    EXPECT_EQ(watched.labels.last(), QStringLiteral(u"下载文件\n下载 升级程序  ( 300000 / 300000 )..."));
    EXPECT_EQ(watched.bar, std::make_pair(300000, 300000));
    EXPECT_EQ(watched.Dialog(), nullptr);
}

TEST_F(DownloadProgressDialogTest, CancelButtonStopsARealDownload)
{
    CTestServer server;
    CWatchedProgressDialog watched(&owner);
    watched.pressAt = 1000000;
    const QString target = TESTS::SandboxPath("dl/setup.run");
    EXPECT_FALSE(HttpDownloadFile(server.Url("/gen/big?size=5000000&slow=20"), target,
                                  QStringLiteral(u"下载"), &watched, QStringLiteral(u"下载新版本安装程序")));
    EXPECT_FALSE(QFile::exists(target));
    // Cancelled once, part-way through.
    EXPECT_TRUE(watched.labels.contains(QStringLiteral(u"用户中止下载操作...")));
    EXPECT_GE(watched.bar.second, 1000000);
    EXPECT_LT(watched.bar.second, 5000000);
    EXPECT_TRUE(FolderEntries(TESTS::SandboxPath("dl")).isEmpty());
}

// The real wizard with its real hooks, on the sample product whose manifest
// looks for upgrades on the local test server.
class OnlineWizardTest : public testing::Test {
protected:
    void SetUp() override
    {
        TESTS::WidgetApplication();
        SetSystemLanguageId(kLangChinesePrc);
        SetCancelFlag(false);
        SetPauseFunction([](int) {});
        ClearProxyEnvironment();
        installer = "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n";
        server.Serve("/new/setup.run", installer);
    }
    void TearDown() override
    {
        wizard.reset();
        SetPauseFunction({});
        SetCancelFlag(false);
    }

    CNorvexSetupDlg& Open()
    {
        TESTS::LoadSampleProduct(engine, RunMode::Install);
        engine.Manifest.info.url = server.Url("/upgrade.xml");
        wizard = std::make_unique<CNorvexSetupDlg>(engine);
        wizard->Procedures().Programs = &recordingStarter;
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return *wizard;
    }

    QByteArray Descriptor(const QString& version) const
    {
        return QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<upgrade><version>%1</version>"
                   "<url>%2</url><info>更快的打印|新的模板</info></upgrade>\n")
            .arg(version, server.Url("/new/setup.run"))
            .toUtf8();
    }

    static QStringList TempEntries() { return FolderEntries(GetTempDirectory()); }

    CTestServer server;
    TESTS::CTestEngine engine;
    std::unique_ptr<CNorvexSetupDlg> wizard;
    TESTS::CRecordingStarter recordingStarter;
    std::vector<TESTS::CRecordingStarter::Start>& started = recordingStarter.starts;
    const QString marker = TESTS::SandboxPath("new-installer-ran");
    QByteArray installer;
};

struct UpgradeCase {
    const char* name;
    const char* offered;
    std::optional<MessageAnswer> answer;  // none: no question
    bool handsOver;
};

void PrintTo(const UpgradeCase& c, std::ostream* os)
{
    *os << c.name;
}

class LocationPageUpgradeTest : public OnlineWizardTest, public testing::WithParamInterface<UpgradeCase> {};

TEST_P(LocationPageUpgradeTest, TickedOnlineBoxAsksTheServer)
{
    const UpgradeCase& c = GetParam();
    server.Serve("/upgrade.xml", Descriptor(QString::fromLatin1(c.offered)));
    CNorvexSetupDlg& dlg = Open();
    if (c.answer)
        dlg.WidgetMessageBox().AnswerNext(*c.answer);
    dlg.ShowPage(RunMode::Install, WizardPage::Location);
    EXPECT_EQ(TESTS::Control<QAbstractButton>(dlg, "firstOption_1009")->text(),
              QStringLiteral(u"联机查找最新版本"));
    TESTS::Click(dlg, "firstOption_1009");
    TESTS::Click(dlg, "primaryButton_1");

    EXPECT_EQ(server.RequestCount("/upgrade.xml"), 1);
    const auto& boxes = dlg.WidgetMessageBox().Shown();
    if (c.answer) {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text,
                  QStringLiteral(u"发现 %1 版本程序，当前版本 6.32.1908，是否安装最新版本？\n\n"
                                 u"更新内容：\n更快的打印\n新的模板")
                      .arg(QString::fromLatin1(c.offered)));
        EXPECT_EQ(boxes[0].icon, MessageIcon::Question);
        EXPECT_EQ(boxes[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("LabelCloudSetup"));
    } else {
        EXPECT_TRUE(boxes.empty());
    }
    // The wait cursor and the arrow over the progress window are gone again.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dlg.findChild<QProgressDialog*>(), nullptr);

    if (c.handsOver) {
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(server.RequestCount("/new/setup.run"), 1);
        EXPECT_TRUE(WaitForFile(marker));
        // Only the started installer stays, runnable by its owner only.
        const QStringList left = TempEntries();
        ASSERT_EQ(left.size(), 1);
        const QFileInfo downloaded(GetTempDirectory() + left[0]);
        EXPECT_EQ(TESTS::ReadFileBytes(downloaded.filePath()), installer);
        EXPECT_EQ(downloaded.permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther),
                  QFile::ExeOwner);
        EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder));
    } else {
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.Page(), WizardPage::Ready);
        EXPECT_EQ(server.RequestCount("/new/setup.run"), 0);
        EXPECT_TRUE(TempEntries().isEmpty());
        EXPECT_FALSE(QFile::exists(marker));
    }
}

INSTANTIATE_TEST_SUITE_P(Offers, LocationPageUpgradeTest,
                         testing::Values(UpgradeCase{"SameVersion", "6.32.1908", std::nullopt, false},
                                         UpgradeCase{"NewerDeclined", "6.32.1909", MessageAnswer::No, false},
                                         UpgradeCase{"NewerAccepted", "6.32.1909", MessageAnswer::Yes, true}),
                         TESTS::CaseName());

TEST_F(OnlineWizardTest, UntickedOnlineBoxAsksNobody)
{
    server.Serve("/upgrade.xml", Descriptor("6.32.1909"));
    CNorvexSetupDlg& dlg = Open();
    dlg.ShowPage(RunMode::Install, WizardPage::Location);
    TESTS::Click(dlg, "primaryButton_1");
    EXPECT_EQ(dlg.Page(), WizardPage::Ready);
    EXPECT_EQ(server.RequestCount(), 0);
}

// The finish page of a product that wants the companion editor, its
// installer packed the way the update tests pack it.
struct CompanionCase {
    const char* name;
    bool ticked;
    std::optional<MessageAnswer> answer;  // to the question an unticked box asks
    bool installs;
};

void PrintTo(const CompanionCase& c, std::ostream* os)
{
    *os << c.name;
}

class FinishPageCompanionTest : public OnlineWizardTest, public testing::WithParamInterface<CompanionCase> {};

TEST_P(FinishPageCompanionTest, OffersAndRunsTheCompanionInstaller)
{
    const CompanionCase& c = GetParam();
    CNorvexSetupDlg& dlg = Open();
    const QString seenPackage = TESTS::SandboxPath("companion-saw-package");
    engine.Package.path = TESTS::SandboxPath("companion.cab");
    ASSERT_TRUE(MakeCompanionPackage(QStringLiteral(NORVEX_PACK_EXE), QStringLiteral(NORVEX_REG_EXE),
                                     engine.Package.path, seenPackage, "its own package", true));
    engine.Manifest.info.tessaly = 1;
    engine.Manifest.mainprogPath = QStringLiteral("/opt/x/LabelCloud");
    std::vector<bool> visibleWhileRunning;
    dlg.CompanionEditor().RunElevated = [&](const QString& program) {
        visibleWhileRunning.push_back(dlg.isVisible());
        // As root, or without pkexec, the elevated start is a plain one;
        // elsewhere pkexec would wait for someone to answer it.
        if (::geteuid() == 0 || QStandardPaths::findExecutable("pkexec").isEmpty())
            return PLATFORM::SystemProgramStarter().StartElevatedAndWait(program, {}).has_value();
        return QProcess::execute(program, {}) >= 0;
    };

    dlg.ShowPage(RunMode::Install, WizardPage::Finished);
    ASSERT_TRUE(TESTS::Control(dlg, "firstOption_1009")->isVisible());
    EXPECT_EQ(TESTS::Control<QAbstractButton>(dlg, "firstOption_1009")->text(),
              QStringLiteral(u"安装标签编辑程序"));
    if (!c.ticked)
        TESTS::Click(dlg, "firstOption_1009");
    if (c.answer)
        dlg.WidgetMessageBox().AnswerNext(*c.answer);
    // Finished inside the wizard's modal run, as a real run is: hiding the
    // window meanwhile must not end it with another result.
    QTimer::singleShot(0, &dlg, [&] { TESTS::Click(dlg, "primaryButton_1"); });
    QTimer::singleShot(120000, &dlg, [&] { dlg.done(-1); });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);

    const auto& boxes = dlg.WidgetMessageBox().Shown();
    ASSERT_EQ(boxes.size(), c.answer ? 1u : 0u);
    if (c.answer) {
        EXPECT_EQ(boxes[0].icon, MessageIcon::Question);
        EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral(u"如果需要在本程序中直接编辑标签")));
    }
    EXPECT_EQ(visibleWhileRunning, c.installs ? std::vector<bool>{false} : std::vector<bool>{});
    const QString key = QString::fromUtf16(kCompanionKey);
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, key, QStringLiteral("Version")),
              c.installs ? QStringLiteral("5.21.1625.36") : QString());
    EXPECT_EQ(QFile::exists(seenPackage), c.installs);
    EXPECT_TRUE(TempEntries().isEmpty());
    // Then the finish action goes on: the product starts, the wizard closes.
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(started.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Choices, FinishPageCompanionTest,
                         testing::Values(CompanionCase{"Ticked", true, std::nullopt, true},
                                         CompanionCase{"UntickedThenYes", false, MessageAnswer::Yes, true},
                                         CompanionCase{"Declined", false, MessageAnswer::No, false}),
                         TESTS::CaseName());

}  // namespace
