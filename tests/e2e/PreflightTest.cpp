// The checks before the first write, with the real installer: too little
// room on the installation folder's or the data folder's file system (small
// tmpfs mounts in a private mount namespace), a read-only or blocked
// installation folder. Each says what and where, writes nothing and exits 1;
// with room the run says what it needs on its second line and installs. An
// upgrade or repair keeps the files it replaces until it has succeeded, so it
// needs the room of the new files beside the installed ones.
#include "SandboxState.h"

#include "support/CaseName.h"
#include "support/SmallDisk.h"

#include "common/FileHelpers.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/mount.h>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::SampleDataFolder;
using E2E::SampleInstallFolder;
using E2E::Show;

enum class Disk { None, ProgramFiles, DataVendorFolder, Temporary };

struct PreflightCase {
    const char* name;
    Disk disk;
    qint64 size;
    bool fill;          // the disk is filled up before the run
    bool readOnly;      // mounted read-only
    bool fileInTheWay;  // a file where the vendor folder goes
    int exitCode;
    QString (*message)();  // the start of the one message; null: the run installs
};

QString MountPoint(Disk disk)
{
    switch (disk) {
    case Disk::None:
        break;
    case Disk::ProgramFiles:
        return WithoutFinalSlash(PLATFORM::ProgramFilesFolder());
    case Disk::DataVendorFolder:
        return PLATFORM::AppDataFolder() + QStringLiteral("Tessaly");
    case Disk::Temporary:
        return TESTS::SandboxPath(QStringLiteral("tmp"));
    }
    return {};
}

void FillUp(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

void PrintTo(const PreflightCase& c, std::ostream* os)
{
    *os << c.name;
}

class PreflightTest : public testing::TestWithParam<PreflightCase> {
protected:
    void TearDown() override
    {
        if (!m_mounted.isEmpty())
            TESTS::UnmountSmallDisk(m_mounted);
    }
    QString m_mounted;
};

TEST_P(PreflightTest, SaysWhatIsWrongBeforeWritingAnything)
{
    const PreflightCase& c = GetParam();
    const QString setup =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    if (c.disk != Disk::None) {
        const QString folder = MountPoint(c.disk);
        QString why;
        if (!TESTS::MountSmallDisk(folder, c.size, &why))
            GTEST_SKIP() << why.toStdString();
        m_mounted = folder;
        if (c.fill)
            FillUp(folder);
        if (c.readOnly) {
            ASSERT_EQ(::mount(nullptr, QFile::encodeName(folder).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                              nullptr),
                      0);
        }
    }
    if (c.fileInTheWay)
        TESTS::WriteFileBytes(PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly"), "not a folder");
    const auto files = E2E::SandboxFiles();
    const QString registry = E2E::RegistryExport();

    const RunResult r = RunProgram(setup, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, c.exitCode) << Show(r);
    // The title, then what the run needs and what is free.
    ASSERT_GE(r.out.size(), 2) << Show(r);
    EXPECT_TRUE(r.out[1].contains(QStringLiteral("需要 ")) && r.out[1].contains(QStringLiteral(" / 可用 ")))
        << Show(r);
    if (!c.message) {
        EXPECT_TRUE(QFile::exists(SampleInstallFolder() + QStringLiteral("LabelPrint"))) << Show(r);
        return;
    }
    const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 1) << Show(r);
    EXPECT_TRUE(err[0].startsWith(c.message())) << Show(r);
    EXPECT_EQ(E2E::SandboxFiles(), files) << Show(r);
    EXPECT_EQ(E2E::RegistryExport(), registry);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PreflightTest,
    testing::Values(
        PreflightCase{"InstallFolderShort", Disk::ProgramFiles, 1 << 20, false, false, false, 1,
                      [] {
                          return QStringLiteral("文件夹“") + SampleInstallFolder()
                              + QStringLiteral("”所在的磁盘空间不足：需要 ");
                      }},
        PreflightCase{"DataFolderShort", Disk::DataVendorFolder, 64 << 10, true, false, false, 1,
                      [] {
                          return QStringLiteral("文件夹“") + SampleDataFolder()
                              + QStringLiteral("”所在的磁盘空间不足：需要 ");
                      }},
        // The package is read in place: the temporary folder takes only the manifest.
        PreflightCase{"TemporaryFolderSmall", Disk::Temporary, 256 << 10, false, false, false, 0, nullptr},
        PreflightCase{"Enough", Disk::ProgramFiles, qint64(512) << 20, false, false, false, 0, nullptr},
        PreflightCase{"ReadOnlyInstallFolder", Disk::ProgramFiles, qint64(512) << 20, false, true, false, 1,
                      [] {
                          return QStringLiteral("无法在文件夹“") + SampleInstallFolder()
                              + QStringLiteral("”中安装：Read-only file system。");
                      }},
        PreflightCase{"FileInTheWay", Disk::None, 0, false, false, true, 1,
                      [] {
                          return QStringLiteral("无法在文件夹“") + SampleInstallFolder()
                              + QStringLiteral("”中安装：Not a directory。");
                      }}),
    TESTS::CaseName());

// An installation on a disk with room for one copy of it and a half.
enum class SecondRun { Upgrade, Repair };

void PrintTo(SecondRun run, std::ostream* os)
{
    *os << (run == SecondRun::Upgrade ? "Upgrade" : "Repair");
}

class SecondRunShortTest : public testing::TestWithParam<SecondRun> {
protected:
    void TearDown() override
    {
        if (!m_mounted.isEmpty())
            TESTS::UnmountSmallDisk(m_mounted);
    }
    QString m_mounted;
};

TEST_P(SecondRunShortTest, SaysWhatIsWrongBeforeWritingAnything)
{
    // The removal program copied into the folder is the bulk of it.
    const qint64 size = QFileInfo(QStringLiteral(NORVEX_SETUP_EXE)).size() * 3 / 2 + (1 << 20);
    const QString folder = WithoutFinalSlash(PLATFORM::ProgramFilesFolder());
    QString why;
    if (!TESTS::MountSmallDisk(folder, size, &why))
        GTEST_SKIP() << why.toStdString();
    m_mounted = folder;
    const RunResult installed = RunProgram(
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"))),
        {QStringLiteral("-silent")});
    ASSERT_EQ(installed.exitCode, 0) << Show(installed);
    const QString setup = GetParam() == SecondRun::Repair
        ? TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"))
        : E2E::SampleInstaller(QStringLiteral("upgrade"),
                               [](QByteArray& m) { m.replace("ver=\"1.0.0\"/>", "ver=\"1.0.1\"/>"); });
    const auto files = E2E::SandboxFiles();
    const QString registry = E2E::RegistryExport();

    const RunResult r = RunProgram(setup, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 1) << Show(r);
    ASSERT_GE(r.out.size(), 2) << Show(r);
    EXPECT_TRUE(r.out[0].endsWith(GetParam() == SecondRun::Repair ? QStringLiteral("修复程序")
                                                                  : QStringLiteral("升级程序")))
        << Show(r);
    EXPECT_TRUE(r.out[1].contains(QStringLiteral("需要 ")) && r.out[1].contains(QStringLiteral(" / 可用 ")))
        << Show(r);
    const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 1) << Show(r);
    EXPECT_TRUE(err[0].startsWith(QStringLiteral("文件夹“") + SampleInstallFolder()
                                  + QStringLiteral("”所在的磁盘空间不足：需要 ")))
        << Show(r);
    EXPECT_EQ(E2E::SandboxFiles(), files) << Show(r);
    EXPECT_EQ(E2E::RegistryExport(), registry);
}

INSTANTIATE_TEST_SUITE_P(Modes, SecondRunShortTest, testing::Values(SecondRun::Upgrade, SecondRun::Repair),
                         [](const testing::TestParamInfo<SecondRun>& param) {
                             return testing::PrintToString(param.param);
                         });

}  // namespace
