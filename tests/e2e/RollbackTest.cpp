// Failed, cancelled and killed runs of real installers leave the machine as
// they found it: a first install that fails at the n-th file, one cancelled
// during a file, an upgrade and a repair that fail halfway, and a run killed
// during a file, which the next run undoes.
#include "SandboxState.h"

#include "support/CaseName.h"

#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::SampleDataFolder;
using E2E::SampleInstallFolder;
using E2E::Show;

QString Text1106()
{
    return QStringLiteral("安装程序时出现意外的错误，无法完成安装过程，请稍后重试！");
}

// The sample product built from a copy of its payload and manifest, each
// changed first; the installer's path.
QString BuildInstaller(const QString& name, const std::function<void(QByteArray& manifest)>& editManifest,
                       const std::function<void(const QString& payload)>& editPayload = {})
{
    const QString dir = TESTS::SandboxPath(QStringLiteral("build-") + name + u'/');
    const QString payload = dir + QStringLiteral("payload/");
    QDir().mkpath(payload);
    for (const QFileInfo& f : QDir(QStringLiteral(SAMPLE_PAYLOAD)).entryInfoList(QDir::Files)) {
        QFile::copy(f.absoluteFilePath(), payload + f.fileName());
        QFile::setPermissions(payload + f.fileName(), f.permissions() | QFile::WriteOwner);
    }
    if (editPayload)
        editPayload(payload);
    QByteArray manifest = TESTS::ReadFileBytes(QStringLiteral(SAMPLE_MANIFEST));
    editManifest(manifest);
    TESTS::WriteFileBytes(dir + QStringLiteral("Install.xml"), manifest);
    const QString pack = QStringLiteral(NORVEX_PACK_EXE);
    const RunResult built = RunProgram(pack,
                                       {"build", "--manifest", dir + "Install.xml", "--source", payload,
                                        "--template", NORVEX_SETUP_EXE, "--level", "1", "-o", dir + "p.cab"});
    EXPECT_EQ(built.exitCode, 0) << Show(built);
    const RunResult attached = RunProgram(
        pack, {"attach", "--template", NORVEX_SETUP_EXE, "--package", dir + "p.cab", "-o", dir + "Setup"});
    EXPECT_EQ(attached.exitCode, 0) << Show(attached);
    return dir + QStringLiteral("Setup");
}

// A large incompressible file deployed last, so a run spends long enough
// inside it to be stopped there with the other files already written.
QString InstallerWithLargeLastFile()
{
    return BuildInstaller(
        QStringLiteral("large"),
        [](QByteArray& m) {
            m.replace("</files>",
                      "\t<file name=\"large.bin\" path=\"$intallpath$\\data\\\" pack=\"large.bin\" "
                      "ver=\"1\"/>\n\t</files>");
        },
        [](const QString& payload) {
            QFile large(payload + QStringLiteral("large.bin"));
            ASSERT_TRUE(large.open(QIODevice::WriteOnly));
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            for (int i = 0; i < 64; ++i) {
                QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(chunk.data()),
                                                      chunk.size() / 4);
                large.write(chunk);
            }
        });
}

// The installed sample, version 1.0.0.
void InstallSample()
{
    const QString setup =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const RunResult r = RunProgram(setup, {QStringLiteral("-silent")});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
}

void MakeFolder(const QString& path)
{
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

void ExpectMachineAsBefore(const std::map<QString, QString>& files, const QString& registry)
{
    const auto after = E2E::SandboxFiles();
    EXPECT_EQ(after, files) << "before:\n"
                            << E2E::Describe(files).toStdString() << "after:\n"
                            << E2E::Describe(after).toStdString();
    EXPECT_EQ(E2E::RegistryExport(), registry);
}

// A first installation that meets a folder where its n-th file goes: the
// folders around that obstacle existed before the run and stay, everything
// else the run made goes.
struct FirstInstallCase {
    const char* name;
    QString (*obstacle)();
};

void PrintTo(const FirstInstallCase& c, std::ostream* os)
{
    *os << c.name;
}

class FirstInstallFailureTest : public testing::TestWithParam<FirstInstallCase> {};

TEST_P(FirstInstallFailureTest, LeavesTheMachineAsItFoundIt)
{
    const QString setup =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const QString obstacle = GetParam().obstacle();
    MakeFolder(obstacle);
    const auto files = E2E::SandboxFiles();
    const QString registry = E2E::RegistryExport();

    const RunResult r = RunProgram(setup, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 1) << Show(r);
    const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 2) << Show(r);
    EXPECT_EQ(err[0], Text1106());
    EXPECT_EQ(err[1], QStringLiteral("cannot write ") + obstacle + QStringLiteral(": Is a directory"));
    ExpectMachineAsBefore(files, registry);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirstInstallFailureTest,
    testing::Values(
        FirstInstallCase{"FirstFile", [] { return SampleInstallFolder() + QStringLiteral("LabelPrint"); }},
        FirstInstallCase{"SecondFileInASubfolder",
                         [] { return SampleInstallFolder() + QStringLiteral("doc/README.txt"); }},
        // The installation folder is new here and goes whole.
        FirstInstallCase{"ThirdFileInTheDataFolder",
                         [] { return SampleDataFolder() + QStringLiteral("Templates/sample.tlp"); }},
        FirstInstallCase{"LastFile", [] { return SampleInstallFolder() + QStringLiteral("uninstall.exe"); }}),
    TESTS::CaseName());

// Starts an unattended run and waits until it is writing the large file.
bool StartUntilLargeFile(QProcess& run, const QString& setup, const QStringList& arguments = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("zh_CN.UTF-8"));
    env.remove(QStringLiteral("DISPLAY"));
    run.setProcessEnvironment(env);
    run.start(setup, QStringList{QStringLiteral("-silent")} + arguments);
    if (!run.waitForStarted(60000))
        return false;
    const QString folder = SampleInstallFolder() + QStringLiteral("data/");
    for (int i = 0; i < 15000; ++i) {
        if (run.state() != QProcess::Running)
            return false;
        if (!QDir(folder).entryList({QStringLiteral(".nvx*.part")}, QDir::Files | QDir::Hidden).isEmpty())
            return true;
        QThread::msleep(10);
    }
    return false;
}

// SIGINT sets the cancel flag a confirmed Cancel sets; the write in progress
// stops at its next chunk.
TEST(CancelledInstallTest, LeavesTheMachineAsItFoundIt)
{
    const QString setup = InstallerWithLargeLastFile();
    const auto files = E2E::SandboxFiles();
    const QString registry = E2E::RegistryExport();
    QProcess run;
    ASSERT_TRUE(StartUntilLargeFile(run, setup)) << run.readAllStandardError().toStdString();
    ASSERT_TRUE(QFileInfo::exists(SampleInstallFolder() + QStringLiteral("LabelPrint")));
    ::kill(pid_t(run.processId()), SIGINT);
    ASSERT_TRUE(run.waitForFinished(300000));
    const QString err = QString::fromUtf8(run.readAllStandardError());
    EXPECT_EQ(run.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(Text1106())) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral(": cancelled"))) << err.toStdString();
    ExpectMachineAsBefore(files, registry);
}

// Over an installed 1.0.0: an upgrade or a repair that fails halfway puts
// every file back byte for byte, removes the files it added and keeps the
// registry as it was; the old program still runs.
struct HalfwayCase {
    const char* name;
    // Makes the installer and the obstacle; returns the installer.
    QString (*prepare)();
    const char* failedFile;
};

QString UpgradeInstaller()
{
    // 1.0.1 changes the program and the readme and adds a file after them,
    // where a folder stands in the way.
    MakeFolder(SampleInstallFolder() + QStringLiteral("doc/notes.txt"));
    return BuildInstaller(
        QStringLiteral("upgrade"),
        [](QByteArray& m) {
            m.replace("ver=\"1.0.0\"/>", "ver=\"1.0.1\"/>");
            m.replace(
                "<file name=\"sample.tlp\"",
                "<file name=\"notes.txt\" path=\"$intallpath$\\doc\\\" pack=\"notes.txt\" ver=\"1.0.1\"/>\n"
                "\t\t<file name=\"sample.tlp\"");
        },
        [](const QString& payload) {
            QFile program(payload + QStringLiteral("LabelPrint"));
            ASSERT_TRUE(program.open(QIODevice::Append));
            program.write("version 1.0.1 trailer");  // still runs: bytes after the ELF image
            program.close();
            TESTS::WriteFileBytes(payload + QStringLiteral("README.txt"), "LabelPrint 1.0.1\n");
            TESTS::WriteFileBytes(payload + QStringLiteral("notes.txt"), "new in 1.0.1\n");
        });
}

QString RepairInstaller()
{
    // The readme as the user edited it comes back; the template is a folder now.
    TESTS::WriteFileBytes(SampleInstallFolder() + QStringLiteral("doc/README.txt"), "my own notes\n");
    QFile::remove(SampleDataFolder() + QStringLiteral("Templates/sample.tlp"));
    MakeFolder(SampleDataFolder() + QStringLiteral("Templates/sample.tlp"));
    return E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
}

void PrintTo(const HalfwayCase& c, std::ostream* os)
{
    *os << c.name;
}

class HalfwayFailureTest : public testing::TestWithParam<HalfwayCase> {};

TEST_P(HalfwayFailureTest, PutsThePreviousVersionBack)
{
    InstallSample();
    const QString setup = GetParam().prepare();
    const auto files = E2E::SandboxFiles();
    const QString registry = E2E::RegistryExport();

    const RunResult r = RunProgram(setup, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 1) << Show(r);
    EXPECT_TRUE(r.err.startsWith(Text1106())) << Show(r);
    EXPECT_TRUE(
        r.err.contains(QString::fromLatin1(GetParam().failedFile) + QStringLiteral(": Is a directory")))
        << Show(r);
    ExpectMachineAsBefore(files, registry);
    const RunResult program = RunProgram(SampleInstallFolder() + QStringLiteral("LabelPrint"), {});
    EXPECT_EQ(program.exitCode, 0) << Show(program);
    EXPECT_TRUE(program.out.join(u'\n').contains(QStringLiteral("1.0.0"))) << Show(program);
}

INSTANTIATE_TEST_SUITE_P(Cases, HalfwayFailureTest,
                         testing::Values(HalfwayCase{"Upgrade", UpgradeInstaller, "doc/notes.txt"},
                                         HalfwayCase{"Repair", RepairInstaller, "Templates/sample.tlp"}),
                         TESTS::CaseName());

QStringList LeftoversBelow(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, {QStringLiteral(".nvx*"), QStringLiteral("*.journal")},
                    QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

QString JournalFolder()
{
    return TESTS::SandboxPath(QStringLiteral("var/lib/norvex/journal"));
}

// kill -9 during the large file: the journal stays, and the next run of the
// installer undoes the killed run first, says so, and then installs.
TEST(KilledInstallTest, NextRunUndoesItFromTheJournal)
{
    const QString setup = InstallerWithLargeLastFile();
    QProcess run;
    ASSERT_TRUE(StartUntilLargeFile(run, setup)) << run.readAllStandardError().toStdString();
    run.kill();
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(LeftoversBelow(JournalFolder()).size(), 1);
    ASSERT_TRUE(QFileInfo::exists(SampleInstallFolder() + QStringLiteral("LabelPrint")));

    const QString log = TESTS::SandboxPath(QStringLiteral("next.log"));
    const RunResult next = RunProgram(setup, {QStringLiteral("-silent"), QStringLiteral("-log"), log});
    EXPECT_EQ(next.exitCode, 0) << Show(next);
    EXPECT_TRUE(next.err.contains(
        QStringLiteral("Tessaly Label Print & Share 上次的安装没有完成，它所做的更改已经撤销。")))
        << Show(next);
    const QString logText = QString::fromUtf8(TESTS::ReadFileBytes(log));
    EXPECT_TRUE(logText.contains(QStringLiteral("undo: removed ") + SampleInstallFolder()
                                 + QStringLiteral("LabelPrint")))
        << logText.toStdString();
    EXPECT_TRUE(logText.contains(QStringLiteral("undo: removed ") + SampleInstallFolder().chopped(1)))
        << logText.toStdString();
    EXPECT_EQ(LeftoversBelow(TESTS::SandboxRoot()), QStringList());
    EXPECT_EQ(TESTS::ReadFileBytes(SampleInstallFolder() + QStringLiteral("data/large.bin")).size(),
              64 << 20);
}

// The same during an upgrade: the next run finds 1.0.0 as it was, so it
// upgrades again, and the program it leaves is the new one.
TEST(KilledUpgradeTest, NextRunFindsThePreviousVersionAndUpgrades)
{
    InstallSample();
    const QString setup = BuildInstaller(
        QStringLiteral("upgrade-large"),
        [](QByteArray& m) {
            m.replace("ver=\"1.0.0\"/>", "ver=\"1.0.1\"/>");
            m.replace("</files>",
                      "\t<file name=\"large.bin\" path=\"$intallpath$\\data\\\" pack=\"large.bin\" "
                      "ver=\"1\"/>\n\t</files>");
        },
        [](const QString& payload) {
            TESTS::WriteFileBytes(payload + QStringLiteral("README.txt"), "LabelPrint 1.0.1\n");
            QByteArray large(64 << 20, Qt::Uninitialized);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
            TESTS::WriteFileBytes(payload + QStringLiteral("large.bin"), large);
        });
    QProcess run;
    ASSERT_TRUE(StartUntilLargeFile(run, setup)) << run.readAllStandardError().toStdString();
    run.kill();
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(TESTS::ReadFileBytes(SampleInstallFolder() + QStringLiteral("doc/README.txt")),
              "LabelPrint 1.0.1\n");

    const QString log = TESTS::SandboxPath(QStringLiteral("next.log"));
    const RunResult next = RunProgram(setup, {QStringLiteral("-silent"), QStringLiteral("-log"), log});
    EXPECT_EQ(next.exitCode, 0) << Show(next);
    ASSERT_FALSE(next.out.isEmpty());
    EXPECT_EQ(next.out[0], QStringLiteral("Tessaly Label Print & Share 升级程序")) << Show(next);
    const QString logText = QString::fromUtf8(TESTS::ReadFileBytes(log));
    EXPECT_TRUE(logText.contains(QStringLiteral("undo: restored ") + SampleInstallFolder()
                                 + QStringLiteral("doc/README.txt")))
        << logText.toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(SampleInstallFolder() + QStringLiteral("doc/README.txt")),
              "LabelPrint 1.0.1\n");
    EXPECT_EQ(LeftoversBelow(TESTS::SandboxRoot()), QStringList());
}

}  // namespace
