#include "UpdateTestSupport.h"

#include "support/CaseName.h"

#include "common/MD5Encode.h"
#include "common/MessageTable.h"
#include "manifest/InstallInfo.h"
#include "platform/ProgramStarter.h"
#include "platform/TempFiles.h"
#include "update/UpgradeCheck.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>

using namespace UPDATETEST;

namespace {

struct VersionCase {
    const char* candidate;
    const char* current;
    bool newer;
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << '"' << c.candidate << "\" over \"" << c.current << '"';
}

class IsNewerVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(IsNewerVersionTest, ComparesCodeUnits)
{
    EXPECT_EQ(IsNewerVersion(GetParam().candidate, GetParam().current), GetParam().newer);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IsNewerVersionTest,
    testing::Values(VersionCase{"6.32.1909", "6.32.1908", true}, VersionCase{"6.32.1908", "6.32.1908", false},
                    VersionCase{"6.32.1907", "6.32.1908", false}, VersionCase{"6.4", "6.32", true},
                    VersionCase{"6.10", "6.9", false}, VersionCase{"6.32.1", "6.32", true},
                    VersionCase{"6.32", "6.32.1", false}, VersionCase{"6.32.1908a", "6.32.1908A", true},
                    VersionCase{"6.32.1908A", "6.32.1908a", false}, VersionCase{"", "", false},
                    VersionCase{"1", "", true}));

const QString kInstallerFailed =
    QStringLiteral(u"下载新版本的安装程序出现意外的错误，将继续安装本版本的程序！");

class UpgradeCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProxyEnvironment();
        SetSystemLanguageId(kLangChinesePrc);
        manifest.version.ver = "6.32.1908";
        manifest.info.url = server.Url("/upgrade.xml");
        check.StartDetached = [this](const QString& program, const QStringList& arguments) {
            started << program;
            return startWorks && PLATFORM::SystemProgramStarter().StartDetached(program, arguments);
        };
        installer = "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n";
        server.Serve("/new/setup.run", installer);
    }

    QByteArray Descriptor(const QString& version, const QString& md5 = QString(),
                          const QString& path = "/new/setup.run") const
    {
        return QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<upgrade><version>%1</version>"
                   "<url>%2</url><info>更快的打印|新的模板|</info><md5>%3</md5></upgrade>\n")
            .arg(version, server.Url(path), md5)
            .toUtf8();
    }

    // What the check left in the temporary folder.
    static QStringList TempEntries() { return FolderEntries(GetTempDirectory()); }

    static bool WaitForFile(const QString& path)
    {
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(path) && timer.elapsed() < 30000)
            QThread::msleep(50);
        return QFile::exists(path);
    }

    CTestServer server;
    CInstallInfo manifest;
    CRecordingMessageBox messageBox;
    CRecordingWindow window;
    CRecordingProgress progress;
    CUpgradeCheck check{manifest, messageBox, window};
    QStringList started;
    bool startWorks = true;
    const QString marker = TESTS::SandboxPath("installer-ran");
    QByteArray installer;
};

// info.url of 10 characters or fewer means no check at all. The server is the
// proxy, so any request, for whatever host, would reach it.
struct UrlCase {
    const char* url;
    int requests;
};

void PrintTo(const UrlCase& c, std::ostream* os)
{
    *os << '"' << c.url << '"';
}

class UpgradeUrlTest : public UpgradeCheckTest, public testing::WithParamInterface<UrlCase> {};

TEST_P(UpgradeUrlTest, ShortUrlMakesNoRequest)
{
    setenv("http_proxy", server.Url("").toUtf8().constData(), 1);
    manifest.info.url = GetParam().url;
    EXPECT_FALSE(check.CheckForUpgrade(&progress));
    EXPECT_EQ(server.RequestCount(), GetParam().requests);
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_TRUE(TempEntries().isEmpty());
    EXPECT_EQ(window.events.first(), "begin-wait");
    EXPECT_EQ(window.events.last(), "end-wait");
}

INSTANTIATE_TEST_SUITE_P(Urls, UpgradeUrlTest,
                         testing::Values(UrlCase{"", 0}, UrlCase{"http://a.b", 0},
                                         UrlCase{"http://a.bc", 1}));

// Descriptors that offer nothing: no question, nothing left behind.
class NothingOfferedTest : public UpgradeCheckTest, public testing::WithParamInterface<const char*> {};

TEST_P(NothingOfferedTest, AsksNothing)
{
    const QString version = QString::fromUtf8(GetParam());
    server.Serve("/upgrade.xml",
                 version == "broken" ? QByteArray("<upgrade><version>") : Descriptor(version));
    EXPECT_FALSE(check.CheckForUpgrade(&progress));
    EXPECT_EQ(server.RequestCount("/upgrade.xml"), 1);
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_TRUE(started.isEmpty());
    EXPECT_TRUE(TempEntries().isEmpty());
    EXPECT_EQ(window.events, (QStringList{"begin-wait", "restore-wait", "end-wait"}));
}

INSTANTIATE_TEST_SUITE_P(Descriptors, NothingOfferedTest,
                         testing::Values("6.32.1908", "6.32.1907", "6.32.190", "6.100", "", "broken"));

TEST_F(UpgradeCheckTest, MissingDescriptorAsksNothing)
{
    EXPECT_FALSE(check.CheckForUpgrade(&progress));
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_TRUE(TempEntries().isEmpty());
}

TEST_F(UpgradeCheckTest, NoLeavesNothing)
{
    server.Serve("/upgrade.xml", Descriptor("6.32.1909"));
    messageBox.answers = {MessageAnswer::No};
    EXPECT_FALSE(check.CheckForUpgrade(&progress));

    ASSERT_EQ(messageBox.shown.size(), 1u);
    EXPECT_EQ(messageBox.shown[0].text,
              QStringLiteral(u"发现 6.32.1909 版本程序，当前版本 6.32.1908，是否安装最新版本？\n\n"
                             u"更新内容：\n更快的打印\n新的模板\n"));
    EXPECT_EQ(messageBox.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(messageBox.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(progress.starts, QStringList{"下载文件"});
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(server.RequestCount("/new/setup.run"), 0);
    EXPECT_TRUE(TempEntries().isEmpty());
    EXPECT_FALSE(window.events.contains("close"));
}

TEST_F(UpgradeCheckTest, YesStartsTheNewInstallerAndClosesTheWizard)
{
    // The digest is compared without regard to letter case: ours is written
    // in upper case, the descriptor's here in lower case.
    server.Serve("/upgrade.xml",
                 Descriptor("6.32.1909", GetMD5OfBuffer(installer.constData(), installer.size()).toLower()));
    messageBox.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(check.CheckForUpgrade(&progress));

    EXPECT_EQ(messageBox.shown.size(), 1u);
    EXPECT_EQ(progress.starts, (QStringList{"下载文件", "下载新版本安装程序"}));
    ASSERT_EQ(started.size(), 1);
    EXPECT_TRUE(started[0].startsWith(GetTempDirectory() + "INI"));
    EXPECT_TRUE(started[0].endsWith(".tmp.exe"));
    EXPECT_EQ(TESTS::ReadFileBytes(started[0]), installer);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(started[0]).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    // Only the running installer stays.
    EXPECT_EQ(TempEntries(), QStringList{QFileInfo(started[0]).fileName()});
    EXPECT_TRUE(WaitForFile(marker));
    EXPECT_EQ(window.events, (QStringList{"begin-wait", "restore-wait", "close", "end-wait"}));
}

// Ways the installer download can go wrong: each is reported, nothing runs,
// nothing stays, and the installation goes on.
struct InstallerFailure {
    const char* name;
    const char* md5;
    const char* path;
    bool cancel;
    bool startWorks;
};

void PrintTo(const InstallerFailure& c, std::ostream* os)
{
    *os << c.name;
}

class InstallerFailureTest : public UpgradeCheckTest, public testing::WithParamInterface<InstallerFailure> {};

TEST_P(InstallerFailureTest, ReportsAndContinues)
{
    const InstallerFailure& c = GetParam();
    server.Serve("/upgrade.xml", Descriptor("6.32.1909", c.md5, c.path));
    messageBox.answers = {MessageAnswer::Yes};
    if (c.cancel)
        progress.cancelTitle = QStringLiteral(u"下载新版本安装程序");
    startWorks = c.startWorks;

    EXPECT_FALSE(check.CheckForUpgrade(&progress));
    ASSERT_EQ(messageBox.shown.size(), 2u);
    EXPECT_EQ(messageBox.shown[1].text, kInstallerFailed);
    EXPECT_EQ(messageBox.shown[1].icon, MessageIcon::None);
    EXPECT_EQ(messageBox.shown[1].buttons, MessageButtons::Ok);
    EXPECT_EQ(started.size(), c.startWorks ? 0 : 1);
    EXPECT_TRUE(TempEntries().isEmpty());
    EXPECT_FALSE(window.events.contains("close"));
    EXPECT_FALSE(QFile::exists(marker));
}

INSTANTIATE_TEST_SUITE_P(Failures, InstallerFailureTest,
                         testing::Values(InstallerFailure{"DigestMismatch",
                                                          "00112233445566778899aabbccddeeff",
                                                          "/new/setup.run", false, true},
                                         InstallerFailure{"Cancelled", "", "/new/setup.run", true, true},
                                         InstallerFailure{"NotFound", "", "/new/missing.run", false, true},
                                         InstallerFailure{"StartFails", "", "/new/setup.run", false, false}),
                         TESTS::CaseName());

TEST_F(UpgradeCheckTest, WithoutProgressDisplayDownloadsPlainly)
{
    server.Serve("/upgrade.xml", Descriptor("6.32.1909"));
    messageBox.answers = {MessageAnswer::Yes};
    ASSERT_TRUE(check.CheckForUpgrade(nullptr));
    EXPECT_TRUE(WaitForFile(marker));
}

}  // namespace
