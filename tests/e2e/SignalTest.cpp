// Signals against a real unattended installer: SIGINT, SIGTERM and SIGHUP
// cancel the run at the next chunk (text 1106, exit 1) and leave no temporary
// file; the temporary files of a killed run are removed by the next run.
#include "SampleRuns.h"

#include "support/CaseName.h"

#include "platform/SpecialFolders.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::Show;

const QString kInstallFolderTail = QStringLiteral("Tessaly/LabelPrint/");

// The sample product with a large incompressible file deployed first, so a
// run spends long enough inside one file's chunks to be signalled there.
QString BigInstaller()
{
    const QString dir = TESTS::SandboxPath(QStringLiteral("build-big/"));
    const QString source = dir + QStringLiteral("payload/");
    QDir().mkpath(source);
    for (const QFileInfo& f : QDir(QStringLiteral(SAMPLE_PAYLOAD)).entryInfoList(QDir::Files))
        QFile::copy(f.absoluteFilePath(), source + f.fileName());
    {
        QFile big(source + QStringLiteral("big.bin"));
        EXPECT_TRUE(big.open(QIODevice::WriteOnly));
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < 64; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
            big.write(chunk);
        }
    }
    QByteArray manifest = TESTS::ReadFileBytes(QStringLiteral(SAMPLE_MANIFEST));
    manifest.replace(
        "<files>",
        "<files>\n\t\t<file name=\"big.bin\" path=\"$intallpath$\\\" pack=\"big.bin\" ver=\"1.0.0\"/>");
    TESTS::WriteFileBytes(dir + QStringLiteral("Install.xml"), manifest);
    const QString pack = QStringLiteral(NORVEX_PACK_EXE);
    const RunResult built =
        RunProgram(pack,
                   {"build", "--manifest", dir + "Install.xml", "--source", source, "--template",
                    NORVEX_SETUP_EXE, "--level", "1", "-o", dir + "big.cab"});
    EXPECT_EQ(built.exitCode, 0) << Show(built);
    QFile::remove(source + QStringLiteral("big.bin"));
    const RunResult attached = RunProgram(
        pack,
        {"attach", "--template", NORVEX_SETUP_EXE, "--package", dir + "big.cab", "-o", dir + "BigSetup"});
    EXPECT_EQ(attached.exitCode, 0) << Show(attached);
    QFile::remove(dir + QStringLiteral("big.cab"));
    return dir + QStringLiteral("BigSetup");
}

QStringList FilesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// Every entry in the sandbox except the private temporary folder that each
// run makes and the folders above it; that folder must hold no file.
QStringList SandboxListing()
{
    EXPECT_EQ(FilesBelow(PLATFORM::TempFolder()), QStringList());
    const QString temp = QDir(TESTS::SandboxRoot()).relativeFilePath(QDir::cleanPath(PLATFORM::TempFolder()));
    QStringList entries = TESTS::Listing(TESTS::SandboxRoot());
    entries.removeIf([&](const QString& e) { return e == temp || temp.startsWith(e + u'/'); });
    return entries;
}

// Starts an unattended install and waits until its file step has begun.
bool StartInstall(QProcess& run, const QString& installer, const QString& installFolder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    env.remove(QStringLiteral("DISPLAY"));
    run.setProcessEnvironment(env);
    // A test runner under nohup would hand its ignored hangups down.
    run.setChildProcessModifier([] { std::signal(SIGHUP, SIG_DFL); });
    run.start(installer, {QStringLiteral("-silent")});
    if (!run.waitForStarted(60000))
        return false;
    for (int i = 0; i < 6000; ++i) {
        if (run.state() != QProcess::Running)
            return false;
        if (QFileInfo::exists(installFolder))
            return true;
        QThread::msleep(20);
    }
    return false;
}

// A run a cancel signal stopped: exit 1 with the installation-failure text.
void ExpectStoppedWith1106(QProcess& run)
{
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("安装程序时出现意外的错误，无法完成安装过程，请稍后重试！")))
        << err.toStdString();
}

struct SignalCase {
    const char* name;
    int signal;
};

class CancelSignalTest : public testing::TestWithParam<SignalCase> {};

TEST_P(CancelSignalTest, StopsTheRunWith1106AndLeavesNoTemporaryFile)
{
    const QString installer = BigInstaller();
    const QString installFolder = PLATFORM::ProgramFilesFolder() + kInstallFolderTail;
    QProcess run;
    ASSERT_TRUE(StartInstall(run, installer, installFolder)) << run.readAllStandardError().toStdString();
    ::kill(pid_t(run.processId()), GetParam().signal);
    ASSERT_TRUE(run.waitForFinished(300000));
    ExpectStoppedWith1106(run);
    // Nothing half-written: the large file never arrived, no temporary beside it.
    EXPECT_EQ(FilesBelow(installFolder), QStringList()) << FilesBelow(installFolder).join(u' ').toStdString();
    EXPECT_EQ(FilesBelow(PLATFORM::TempFolder()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, CancelSignalTest,
                         testing::Values(SignalCase{"Interrupt", SIGINT}, SignalCase{"Terminate", SIGTERM},
                                         SignalCase{"HangUp", SIGHUP}),
                         TESTS::CaseName());

// A signal that came before the file step still stops the run. Pending and
// blocked when the installer starts, it arrives as start-up installs the
// handlers: no timing is involved.
class EarlySignalTest : public testing::TestWithParam<SignalCase> {};

// Runs the installer unattended with `signal` pending and blocked from before
// exec, so it arrives as start-up installs its handlers; `ignored` as under
// nohup. Standard error is left in the process.
void RunWithPendingSignal(QProcess& run, const QString& installer, int signal, bool ignored,
                          const QStringList& arguments = {QStringLiteral("-silent")})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    env.remove(QStringLiteral("DISPLAY"));
    run.setProcessEnvironment(env);
    run.setChildProcessModifier([signal, ignored] {
        std::signal(SIGHUP, SIG_DFL);
        if (ignored)
            std::signal(signal, SIG_IGN);
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, signal);
        ::sigprocmask(SIG_BLOCK, &set, nullptr);
        ::kill(::getpid(), signal);
    });
    run.start(installer, arguments);
}

TEST_P(EarlySignalTest, StopsTheRunBeforeAnythingIsWritten)
{
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const QStringList before = SandboxListing();
    QProcess run;
    RunWithPendingSignal(run, installer, GetParam().signal, false);
    ASSERT_TRUE(run.waitForFinished(300000));
    ExpectStoppedWith1106(run);
    EXPECT_EQ(SandboxListing(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, EarlySignalTest,
                         testing::Values(SignalCase{"Interrupt", SIGINT}, SignalCase{"Terminate", SIGTERM},
                                         SignalCase{"HangUp", SIGHUP}),
                         TESTS::CaseName());

// The wizard waiting on its first page closes with the cancel result when a
// cancel signal comes, having written nothing.
TEST_P(EarlySignalTest, ClosesTheWizardOnItsFirstPage)
{
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    QProcess run;
    RunWithPendingSignal(run, installer, GetParam().signal, false, {});
    ASSERT_TRUE(run.waitForFinished(120000)) << "the wizard stayed open";
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 1) << run.readAllStandardError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::ProgramFilesFolder() + kInstallFolderTail));
}

// Started under nohup, the run keeps ignoring hangups: one pending at start
// neither stops nor fails it.
TEST(IgnoredHangUpTest, DoesNotStopTheRun)
{
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    QProcess run;
    RunWithPendingSignal(run, installer, SIGHUP, true);
    ASSERT_TRUE(run.waitForFinished(300000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
}

TEST(KilledRunTest, NextRunRemovesItsTemporaryFiles)
{
    const QString installer = BigInstaller();
    const QString installFolder = PLATFORM::ProgramFilesFolder() + kInstallFolderTail;
    QProcess run;
    ASSERT_TRUE(StartInstall(run, installer, installFolder));
    run.kill();
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_NE(FilesBelow(PLATFORM::TempFolder()), QStringList());  // the package copy stayed

    const RunResult next = RunProgram(QStringLiteral(NORVEX_SETUP_EXE), {QStringLiteral("-silent")});
    EXPECT_EQ(FilesBelow(PLATFORM::TempFolder()), QStringList()) << Show(next);
}

// Under a file-size limit that a payload file exceeds (the installed
// uninstall.exe is the installer itself, far larger), the write fails with its
// reason: no death by SIGXFSZ, nothing left behind, no temporary file either.
TEST(FileSizeLimitTest, IsAWriteFailureWithItsReason)
{
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const QStringList before = SandboxListing();
    const RunResult r = RunProgram(QStringLiteral("prlimit"),
                                   {QStringLiteral("--fsize=262144"), installer, QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 1) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("安装程序时出现意外的错误，无法完成安装过程，请稍后重试！")))
        << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral(": File too large"))) << Show(r);
    EXPECT_EQ(SandboxListing(), before);
}

// Whatever its product, a second unattended installer says so and fails.
TEST(SecondInstanceTest, UnattendedSecondRunExits2WithAMessage)
{
    const QString installer = BigInstaller();
    const QString installFolder = PLATFORM::ProgramFilesFolder() + kInstallFolderTail;
    QProcess first;
    ASSERT_TRUE(StartInstall(first, installer, installFolder));
    // Held still, the first run cannot finish before the second asks; its
    // socket still takes the second's connection.
    ::kill(pid_t(first.processId()), SIGSTOP);

    const QString other = TESTS::SandboxPath(QStringLiteral("Downloads/OtherSetup"));
    TESTS::WriteFileBytes(other, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_INSTALLER)));
    QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const RunResult second = RunProgram(other, {QStringLiteral("-silent")});
    EXPECT_EQ(second.exitCode, 2) << Show(second);
    EXPECT_TRUE(second.err.contains(QStringLiteral("另一个安装程序正在运行。请等它结束后再试。")))
        << Show(second);

    ::kill(pid_t(first.processId()), SIGTERM);
    ::kill(pid_t(first.processId()), SIGCONT);
    ASSERT_TRUE(first.waitForFinished(300000));
    EXPECT_EQ(first.exitCode(), 1);
}

}  // namespace
