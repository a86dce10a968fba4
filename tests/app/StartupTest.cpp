// Start-up in process: run modes that load a manifest, the package beside a
// bare template, the start-up messages, nothing left in the temporary folder,
// the single-instance check, and what is said about a killed run's journal.
#include "StartupSupport.h"

#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "app/NorvexSetupApp.h"
#include "engine/InstallEngine.h"
#include "platform/SingleInstance.h"
#include "platform/TempFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using TESTS::CRecordingMessageBox;

class Startup : public testing::Test {
protected:
    void SetUp() override
    {
        TESTS::EnsureCoreApplication();
        // This test program carries no attached package, so start-up sees the
        // template pair and looks for setup.cab beside argument 0.
        folder = TESTS::SandboxPath(QStringLiteral("dl/"));
        module = folder + QStringLiteral("norvexsetup");
        TESTS::WriteFileBytes(module, "placeholder");
    }

    // Runs start-up with these arguments after argument 0; the prepare and
    // run steps record the engine's state.
    void Run(CNorvexSetupApp& app)
    {
        app.SetMessageBox(&messages);
        app.SetPrepareStep([this](CNorvexSetupApp& a) {
            preparedManifestProg = a.Engine().Manifest.info.prog;
            preparedPackagePath = a.Engine().Package.path;
            ++prepares;
        });
        app.SetRunStep([this](CNorvexSetupApp& a) {
            ranMode = a.Engine().Mode;
            ranManifestProg = a.Engine().Manifest.info.prog;
            ranPackagePath = a.Engine().Package.path;
            ranTemporary = a.Engine().PackageIsTemporary;
            ++runs;
            return 0;
        });
        EXPECT_FALSE(app.InitInstance());
    }

    void ExpectShownOnce(const QString& text)
    {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, text);
        EXPECT_EQ(messages.shown[0].caption, QStringLiteral("出错"));
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
        EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
    }

    QString folder;
    QString module;
    CRecordingMessageBox messages;
    int runs = 0;
    int prepares = 0;
    QString preparedManifestProg;
    QString preparedPackagePath;
    RunMode ranMode = RunMode::Install;
    QString ranManifestProg;
    QString ranPackagePath;
    bool ranTemporary = true;
};

TEST_F(Startup, BareTemplateUsesSetupCabBesideItInPlace)
{
    const QString cab = folder + QStringLiteral("setup.cab");
    TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), cab);
    {
        CNorvexSetupApp app({module, QStringLiteral("-repair")});
        Run(app);
        EXPECT_EQ(app.Result(), CNorvexSetupApp::StartupResult::Ready);
        EXPECT_EQ(app.ExitCode(), 0);
        EXPECT_EQ(app.Engine().ModulePath, module);
        EXPECT_EQ(app.Engine().ModuleFolder, folder);
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ranMode, RunMode::Repair);
    EXPECT_EQ(ranManifestProg, QStringLiteral("LabelCloud"));
    // The window is prepared before the package is read.
    EXPECT_EQ(prepares, 1);
    EXPECT_EQ(preparedManifestProg, QString());
    EXPECT_EQ(preparedPackagePath, QString());
    EXPECT_EQ(ranPackagePath, cab);
    EXPECT_FALSE(ranTemporary);
    // Only read: still there after the run, and nothing temporary is left.
    EXPECT_TRUE(QFile::exists(cab));
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
}

struct PackageFailureCase {
    const char* name;
    void (*prepare)(const QString& folder);
};

void PrintTo(const PackageFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupPackageFailure : public Startup, public testing::WithParamInterface<PackageFailureCase> {};

TEST_P(StartupPackageFailure, ShowsThePackageErrorAndLeavesNothing)
{
    GetParam().prepare(folder);
    {
        CNorvexSetupApp app({module});
        Run(app);
        EXPECT_EQ(app.Result(), CNorvexSetupApp::StartupResult::PackageError);
        EXPECT_EQ(app.ExitCode(), 2);
    }
    ExpectShownOnce(QStringLiteral("安装程序无法加载安装数据，请重新下载安装程序后重试！"));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(prepares, 1) << "prepared, then dropped unseen";
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupPackageFailure,
    testing::Values(
        PackageFailureCase{"NoSetupCab", [](const QString&) {}},
        PackageFailureCase{"FolderNamedSetupCab",
                           [](const QString& f) { QDir().mkpath(f + QStringLiteral("setup.cab")); }},
        PackageFailureCase{
            "SetupCabNotAPackage",
            [](const QString& f) { TESTS::WriteFileBytes(f + QStringLiteral("setup.cab"), "not sqlite"); }},
        PackageFailureCase{
            "SetupCabEmptyFile",
            [](const QString& f) { TESTS::WriteFileBytes(f + QStringLiteral("setup.cab"), QByteArray()); }}),
    TESTS::CaseName());

TEST_F(Startup, UninstallWithoutPathReadsTheManifestBesideTheExecutable)
{
    TESTS::CopyFixture(QStringLiteral("sample/Install.xml"), folder + QStringLiteral("uninstall.xml"));
    CNorvexSetupApp app({module, QStringLiteral("-uninstall")});
    Run(app);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ranMode, RunMode::Uninstall);
    EXPECT_EQ(ranManifestProg, QStringLiteral("LabelCloud"));
    EXPECT_TRUE(ranPackagePath.isEmpty());
}

TEST_F(Startup, InstalledCopyNamedUninstallExeRunsTheRemovalStage)
{
    const QString installed = folder + QStringLiteral("Uninstall.EXE");
    TESTS::WriteFileBytes(installed, "placeholder");
    TESTS::CopyFixture(QStringLiteral("sample/Install.xml"), folder + QStringLiteral("uninstall.xml"));
    CNorvexSetupApp app({installed, QStringLiteral("-install")});
    Run(app);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ranMode, RunMode::Uninstall);
}

TEST_F(Startup, DoUninstallReadsTheQuotedPathArgument)
{
    const QString manifest = TESTS::SandboxPath(QStringLiteral("opt/X Y/uninstall.xml"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("opt/X Y")));
    TESTS::CopyFixture(QStringLiteral("sample/Install.xml"), manifest);
    CNorvexSetupApp app({module, QStringLiteral("-douninstall"), u'"' + manifest + u'"'});
    Run(app);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ranMode, RunMode::DoUninstall);
    EXPECT_EQ(ranManifestProg, QStringLiteral("LabelCloud"));
}

struct ManifestFailureCase {
    const char* name;
    QStringList arguments;  // after argument 0; "@" stands for the sandbox folder
    bool writeBrokenManifest;
};

void PrintTo(const ManifestFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupManifestFailure : public Startup, public testing::WithParamInterface<ManifestFailureCase> {};

TEST_P(StartupManifestFailure, ShowsTheRemovalError)
{
    if (GetParam().writeBrokenManifest)
        TESTS::WriteFileBytes(folder + QStringLiteral("uninstall.xml"), "<install><files>");
    QStringList arguments{module};
    for (const QString& a : GetParam().arguments)
        arguments << QString(a).replace(u'@', folder);
    {
        CNorvexSetupApp app(arguments);
        Run(app);
        EXPECT_EQ(app.Result(), CNorvexSetupApp::StartupResult::ManifestError);
        EXPECT_EQ(app.ExitCode(), 2);
    }
    ExpectShownOnce(QStringLiteral("卸载程序发生意外的错误，无法完成卸载！"));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(TESTS::TempFolderEntries(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupManifestFailure,
    testing::Values(ManifestFailureCase{"DoUninstallWithoutPath", {"-douninstall"}, false},
                    ManifestFailureCase{"DoUninstallMissingFile", {"-douninstall", "@nothing.xml"}, false},
                    ManifestFailureCase{"DoUninstallFolder", {"-douninstall", "@"}, false},
                    ManifestFailureCase{"UninstallWithoutManifestBeside", {"-uninstall"}, false},
                    ManifestFailureCase{"UninstallBrokenManifest", {"/UNINSTALL"}, true}),
    TESTS::CaseName());

TEST_F(Startup, SecondInstanceAsksTheFirstToShowAndStepsBackSilently)
{
    TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), folder + QStringLiteral("setup.cab"));
    TESTS::CopyFixture(QStringLiteral("sample/Install.xml"), folder + QStringLiteral("uninstall.xml"));
    CNorvexSetupApp first({module});
    int showRequests = 0;
    first.SetShowRequestHandler([&showRequests]() { ++showRequests; });

    CRecordingMessageBox secondMessages;
    CNorvexSetupApp::StartupResult secondResult = CNorvexSetupApp::StartupResult::NotStarted;
    CNorvexSetupApp::StartupResult removalCopyResult = CNorvexSetupApp::StartupResult::NotStarted;
    int secondRuns = 0;
    first.SetMessageBox(&messages);
    first.SetRunStep([&](CNorvexSetupApp&) {
        // While the first one's window would be open:
        CNorvexSetupApp second({module, QStringLiteral("-repair")});
        second.SetMessageBox(&secondMessages);
        second.SetRunStep([&secondRuns](CNorvexSetupApp&) { return ++secondRuns, 0; });
        second.SetPrepareStep([&secondRuns](CNorvexSetupApp&) { secondRuns += 100; });
        second.InitInstance();
        secondResult = second.Result();
        EXPECT_EQ(second.ExitCode(), 0);

        // The removal copy is never stopped by an open window, and leaves
        // the first one's temporary files alone, locked or not.
        const QString inUse = GetTempDirectory() + QStringLiteral("nvxAb12Cd.tmp");
        TESTS::WriteFileBytes(inUse, "the first run's");
        CNorvexSetupApp removalCopy(
            {module, QStringLiteral("-douninstall"), folder + QStringLiteral("uninstall.xml")});
        removalCopy.SetMessageBox(&secondMessages);
        removalCopy.InitInstance();
        removalCopyResult = removalCopy.Result();
        EXPECT_EQ(TESTS::ReadFileBytes(inUse), "the first run's");

        const QDeadlineTimer deadline(30000);
        while (showRequests == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return 0;
    });
    EXPECT_FALSE(first.InitInstance());
    EXPECT_EQ(first.Result(), CNorvexSetupApp::StartupResult::Ready);
    EXPECT_EQ(secondResult, CNorvexSetupApp::StartupResult::SecondInstance);
    EXPECT_EQ(secondRuns, 0);
    EXPECT_EQ(removalCopyResult, CNorvexSetupApp::StartupResult::Ready);
    EXPECT_TRUE(secondMessages.shown.empty());
    EXPECT_EQ(showRequests, 1);
}

TEST_F(Startup, SocketLeftByACrashedRunDoesNotBlockTheNext)
{
    TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), folder + QStringLiteral("setup.cab"));
    // A plain file where the socket would be: what a killed instance leaves.
    TESTS::WriteFileBytes(PLATFORM::CSingleInstance::ServerName(), QByteArray());
    CNorvexSetupApp app({module});
    Run(app);
    EXPECT_EQ(app.Result(), CNorvexSetupApp::StartupResult::Ready);
    EXPECT_EQ(runs, 1);
}

// The journal a killed run left: what start-up says matches what it did.
struct JournalCase {
    const char* name;
    // The journal's lines after its header, given a file of the run and a
    // kept copy beside it.
    QByteArray (*lines)(const QString& file, const QString& kept);
    const char* said;  // the message's start, in the tests' language
    MessageIcon icon;
    bool fileStays;
    bool keptStays;
    bool journalSetAside = false;  // the message names where it went
};

void PrintTo(const JournalCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartupJournal : public Startup, public testing::WithParamInterface<JournalCase> {};

TEST_P(StartupJournal, SaysWhatBecameOfIt)
{
    const JournalCase& c = GetParam();
    TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), folder + QStringLiteral("setup.cab"));
    const QString file = TESTS::SandboxPath(QStringLiteral("opt/LabelCloud/LabelCloud"));
    const QString kept = TESTS::SandboxPath(QStringLiteral("opt/LabelCloud/.nvxkeep0000abcd"));
    TESTS::WriteFileBytes(file, "the run's");
    TESTS::WriteFileBytes(kept, "the previous");
    CInstallEngine product;
    product.Manifest.info.prog = QStringLiteral("LabelCloud");
    const QString journal = product.JournalPath();
    TESTS::WriteFileBytes(journal, "norvex-rollback 1\n" + c.lines(file, kept));

    CNorvexSetupApp app({module});
    Run(app);
    EXPECT_EQ(app.Result(), CNorvexSetupApp::StartupResult::Ready);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QString::fromUtf8(c.said)))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(messages.shown[0].icon, c.icon);
    EXPECT_EQ(QFile::exists(file), c.fileStays);
    EXPECT_EQ(QFile::exists(kept), c.keptStays);
    EXPECT_FALSE(QFile::exists(journal));
    EXPECT_EQ(messages.shown[0].text.contains(QStringLiteral("the record of the changes is kept at ")
                                              + journal + u'.'),
              c.journalSetAside)
        << messages.shown[0].text.toStdString();
}

QByteArray Field(const QString& path)
{
    return path.toUtf8().toPercentEncoding();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupJournal,
    testing::Values(
        JournalCase{"Undone", [](const QString& f, const QString&) { return "F " + Field(f) + '\n'; },
                    "The last installation of Tessaly Label Cloud & Print did not finish; its changes "
                    "have been undone.",
                    MessageIcon::Information, false, true},
        JournalCase{"CommitFinished",
                    [](const QString& f, const QString& k) {
                        return "K " + Field(f) + ' ' + Field(k) + "\ncommit\n";
                    },
                    "The last installation of Tessaly Label Cloud & Print had finished but was stopped "
                    "while cleaning up; the cleanup is now done.",
                    MessageIcon::Information, true, false},
        JournalCase{"Damaged", [](const QString&, const QString&) { return QByteArray("F relative\n"); },
                    "The last installation of Tessaly Label Cloud & Print did not finish, and the record "
                    "of its changes cannot be read, so nothing was undone.",
                    MessageIcon::Warning, true, true, true}),
    TESTS::CaseName());

}  // namespace
