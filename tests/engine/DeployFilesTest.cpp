// File deployment from the sample package: placement, times, skipped entries,
// pauses, the step bar, failures and cancel.
#include "EngineTestSupport.h"

#include "database/PackageFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

using namespace ENGINETEST;
using namespace PKGTEST;

namespace {

const qint64 kSampleDeployedSize = 47 + 4200 + 138000;

class DeployFilesTest : public EngineTest {
protected:
    void SetUp() override
    {
        UseUtc();
        EngineTest::SetUp();
        engine.Package.path =
            CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/sample.cab"));
    }

    QString Installed(const QString& rel) const { return engine.InstallFolder + rel; }

    // Names left in a folder; a stray temporary file would show up here.
    static QStringList Entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(DeployFilesTest, SampleFilesLandWithBytesAndTimesAndNodwIsSkipped)
{
    ASSERT_TRUE(engine.DeployFiles(&progress));

    const time_t t2022 = UtcTime(2022, 8, 26, 14, 39, 38);
    const struct {
        const char* rel;
        const char* source;
        time_t time;
    } files[] = {
        {"LabelCloud", "sample/src/LabelCloud", UtcTime(2021, 6, 9, 10, 18, 14)},
        {"doc/readme.txt", "sample/src/readme.txt", t2022},
        {"uninstall.exe", "sample/src/NorvexSetup", t2022},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.rel);
        const QString path = Installed(QString::fromUtf8(f.rel));
        EXPECT_EQ(TESTS::ReadFileBytes(path),
                  TESTS::ReadFileBytes(TESTS::FixturePath(QString::fromUtf8(f.source))));
        EXPECT_EQ(MTime(path), f.time);
    }
    EXPECT_EQ(Entries(engine.InstallFolder), (QStringList{"LabelCloud", "doc", "uninstall.exe"}));
    // The "nodw" entry is neither written nor given a folder.
    EXPECT_FALSE(QFileInfo::exists(engine.AppDataFolder + QStringLiteral("Templates")));
    EXPECT_EQ(engine.Manifest.installedSize, kSampleDeployedSize);
}

TEST_F(DeployFilesTest, StepBarStartsAtTenAndRisesToTheEnd)
{
    ASSERT_TRUE(engine.DeployFiles(&progress));
    ASSERT_EQ(progress.positions.size(), 4u);  // start, then one per deployed file
    EXPECT_EQ(progress.positions.front(), 10);
    for (size_t i = 1; i < progress.positions.size(); ++i)
        EXPECT_GT(progress.positions[i], progress.positions[i - 1]);
    EXPECT_EQ(progress.positions.back(), 100);
    EXPECT_EQ(progress.repaints, 4);
}

TEST_F(DeployFilesTest, RunsWithoutAProgressBar)
{
    EXPECT_TRUE(engine.DeployFiles(nullptr));
    EXPECT_TRUE(QFileInfo::exists(Installed(QStringLiteral("uninstall.exe"))));
}

// Pauses depend on the number of entries, "nodw" ones included, and follow
// deployed files only.
struct PauseCase {
    const char* label;
    int entries;
    int skipped;  // how many of them are "nodw"
    int pause;
};

void PrintTo(const PauseCase& c, std::ostream* os)
{
    *os << c.label;
}

class DeployFilesPauseTest : public DeployFilesTest, public testing::WithParamInterface<PauseCase> {};

TEST_P(DeployFilesPauseTest, OnePausePerDeployedFile)
{
    const PauseCase& c = GetParam();
    engine.Manifest.files.clear();
    for (int i = 0; i < c.entries; ++i) {
        engine.Manifest.files.push_back(FileEntry(QStringLiteral("readme.txt"),
                                                  QStringLiteral("$intallpath$\\d%1\\").arg(i),
                                                  i < c.skipped ? QStringLiteral("nodw") : QString()));
    }
    ASSERT_TRUE(engine.DeployFiles(&progress));
    EXPECT_EQ(clock.pauses, std::vector<int>(c.entries - c.skipped, c.pause));
    EXPECT_EQ(engine.Manifest.installedSize, qint64(4200) * (c.entries - c.skipped));
    EXPECT_EQ(progress.positions.front(), 10);
    EXPECT_EQ(progress.positions.size(), size_t(1 + c.entries - c.skipped));
    EXPECT_TRUE(QFileInfo(engine.InstallFolder).isDir());
}

const PauseCase kPauseCases[] = {
    {"four_entries", 4, 0, 200}, {"four_entries_one_nodw", 4, 1, 200}, {"nine_entries", 9, 0, 100},
    {"ten_entries", 10, 0, 1},   {"twelve_entries", 12, 0, 1},         {"twelve_all_nodw", 12, 12, 1},
    {"no_entries", 0, 0, 1000},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeployFilesPauseTest, testing::ValuesIn(kPauseCases),
                         TESTS::CaseNameBy<&PauseCase::label>());

TEST_F(DeployFilesTest, TargetsFollowTheExpandedPathAndMissingFoldersAreCreated)
{
    const struct {
        const char16_t* path;
        QString expected;
    } cases[] = {
        {u"$intallpath$", engine.InstallFolder + "readme.txt"},  // the folder itself: one separator
        {u"$intallpath$\\b\\", engine.InstallFolder + "b/readme.txt"},
        {u"$intallpath$c", engine.InstallFolder + "c/readme.txt"},
        {u"$appdatapath$\\Templates\\deep\\er\\", engine.AppDataFolder + "Templates/deep/er/readme.txt"},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf16(c.path);
        SCOPED_TRACE(path.toStdString());
        engine.Manifest.files = {FileEntry(QStringLiteral("readme.txt"), path)};
        ASSERT_TRUE(engine.DeployFiles(nullptr));
        EXPECT_EQ(TESTS::ReadFileBytes(c.expected).size(), 4200);
    }
}

TEST_F(DeployFilesTest, OnlyTheExactLowerCaseNodwIsSkipped)
{
    engine.Manifest.files = {
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$intallpath$\\upper\\"),
                  QStringLiteral("NODW")),
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$intallpath$\\blank\\"),
                  QStringLiteral("nodw ")),
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$intallpath$\\skip\\"),
                  QStringLiteral("nodw")),
    };
    ASSERT_TRUE(engine.DeployFiles(nullptr));
    EXPECT_TRUE(QFileInfo::exists(Installed(QStringLiteral("upper/LabelCloud"))));
    EXPECT_TRUE(QFileInfo::exists(Installed(QStringLiteral("blank/LabelCloud"))));
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("skip"))));
    EXPECT_EQ(engine.Manifest.installedSize, 2 * 47);
}

TEST_F(DeployFilesTest, MissingEntryStopsAndKeepsEarlierFiles)
{
    engine.Manifest.files = {
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$intallpath$")),
        FileEntry(QStringLiteral("absent.bin"), QStringLiteral("$intallpath$")),
        FileEntry(QStringLiteral("readme.txt"), QStringLiteral("$intallpath$")),
    };
    EXPECT_FALSE(engine.DeployFiles(&progress));
    EXPECT_EQ(Entries(engine.InstallFolder), QStringList{"LabelCloud"});
    EXPECT_EQ(clock.pauses.size(), 1u);
}

TEST_F(DeployFilesTest, CancelStopsInsideTheNextFileAndKeepsEarlierOnes)
{
    const QString first = Installed(QStringLiteral("LabelCloud"));
    // The user confirms a cancel while the first file's pause runs.
    SetPumpMessagesHook([&] {
        if (QFileInfo::exists(first))
            SetCancelFlag(true);
    });
    EXPECT_FALSE(engine.DeployFiles(&progress));
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("doc/readme.txt"))));
    EXPECT_EQ(Entries(Installed(QStringLiteral("doc"))), QStringList{});
    EXPECT_FALSE(QFileInfo::exists(Installed(QStringLiteral("uninstall.exe"))));
}

// A second run over the installed files: a file that is exactly the entry
// as extraction left it stays as it is (the same file, nothing written);
// any difference in bytes, time, mode or kind, or a second name, gets the
// entry written again.
struct RedeployCase {
    const char* label;
    void (*change)(const QString& path);
    bool replaced;
};

void SetTime(const QString& path, time_t seconds, long nanoseconds)
{
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

const RedeployCase kRedeployCases[] = {
    {"Unchanged", [](const QString&) {}, false},
    {"SameSizeOtherBytes",
     [](const QString& path) {
         const time_t time = MTime(path);
         QByteArray bytes = TESTS::ReadFileBytes(path);
         bytes[100] = char(bytes[100] ^ 0x20);
         TESTS::WriteFileBytes(path, bytes);
         SetTime(path, time, 0);
     },
     true},
    {"OtherTime", [](const QString& path) { SetTime(path, MTime(path) + 1, 0); }, true},
    {"PartOfASecond", [](const QString& path) { SetTime(path, MTime(path), 5000); }, true},
    {"OtherMode",
     [](const QString& path) { ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0); }, true},
    {"LinkToACopy",
     [](const QString& path) {
         const QString copy = TESTS::SandboxPath(QStringLiteral("elsewhere/readme.txt"));
         ASSERT_TRUE(QDir().mkpath(TESTS::SandboxPath(QStringLiteral("elsewhere"))));
         ASSERT_TRUE(QFile::rename(path, copy));
         ASSERT_TRUE(QFile::link(copy, path));
     },
     true},
    {"SecondName",
     [](const QString& path) {
         ASSERT_EQ(::link(QFile::encodeName(path).constData(),
                          QFile::encodeName(TESTS::SandboxPath(QStringLiteral("second-name"))).constData()),
                   0);
     },
     true},
};

class RedeployTest : public DeployFilesTest, public testing::WithParamInterface<RedeployCase> {};

TEST_P(RedeployTest, WritesOnlyWhatDiffersFromTheEntry)
{
    ASSERT_TRUE(engine.DeployFiles(&progress));
    const QString readme = Installed(QStringLiteral("doc/readme.txt"));
    const QByteArray bytes = TESTS::ReadFileBytes(readme);
    const time_t time = MTime(readme);
    struct stat installed {};
    ASSERT_EQ(::stat(QFile::encodeName(readme).constData(), &installed), 0);
    GetParam().change(readme);
    struct stat changed {};
    ASSERT_EQ(::lstat(QFile::encodeName(readme).constData(), &changed), 0);

    engine.Mode = RunMode::Repair;
    ASSERT_TRUE(engine.DeployFiles(&progress));
    struct stat after {};
    ASSERT_EQ(::lstat(QFile::encodeName(readme).constData(), &after), 0);
    EXPECT_EQ(after.st_ino != changed.st_ino, GetParam().replaced);
    EXPECT_TRUE(S_ISREG(after.st_mode));
    EXPECT_EQ(after.st_nlink, 1u);
    EXPECT_EQ(after.st_mode & 07777, installed.st_mode & 07777);
    EXPECT_EQ(after.st_mtim.tv_sec, time);
    EXPECT_EQ(after.st_mtim.tv_nsec, 0);
    EXPECT_EQ(TESTS::ReadFileBytes(readme), bytes);
    EXPECT_EQ(engine.Manifest.installedSize, kSampleDeployedSize);
    EXPECT_EQ(Entries(Installed(QStringLiteral("doc"))), QStringList{"readme.txt"});
}

INSTANTIATE_TEST_SUITE_P(Cases, RedeployTest, testing::ValuesIn(kRedeployCases),
                         TESTS::CaseNameBy<&RedeployCase::label>());

// Manifests written on Windows name files as "bin\\a.dll": a path below the
// file's folder, each part a plain name.
TEST_F(DeployFilesTest, BackslashNamesArePathsBelowTheFolder)
{
    ExecSql(engine.Package.path,
            QStringLiteral("update files set name='doc\\sub\\readme.txt' where name='readme.txt'"));
    engine.Manifest.files = {
        FileEntry(QStringLiteral("doc\\sub\\readme.txt"), QStringLiteral("$intallpath$"))};
    ASSERT_TRUE(engine.DeployFiles(nullptr));
    EXPECT_EQ(TESTS::ReadFileBytes(engine.InstallFolder + QStringLiteral("doc/sub/readme.txt")).size(), 4200);

    const char16_t* refused[] = {
        u"doc\\..\\..\\readme.txt", u"doc\\\\readme.txt", u"\\readme.txt", u"doc\\.\\readme.txt", u"doc\\",
        u"doc/../readme.txt"};
    for (const char16_t* name : refused) {
        SCOPED_TRACE(QString::fromUtf16(name).toStdString());
        engine.Manifest.files = {FileEntry(QString::fromUtf16(name), QStringLiteral("$intallpath$"))};
        EXPECT_FALSE(engine.DeployFiles(nullptr));
    }
    EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("readme.txt")));
    EXPECT_FALSE(QFileInfo::exists(QDir::cleanPath(engine.InstallFolder + QStringLiteral("../readme.txt"))));
}

TEST_F(DeployFilesTest, FoldersThatAreNotAbsolutePathsStopBeforeWriting)
{
    const QString cwd = TESTS::SandboxPath(QStringLiteral("cwd"));
    QDir().mkpath(cwd);
    ASSERT_TRUE(QDir::setCurrent(cwd));
    const struct {
        const char16_t* path;
        const char16_t* name;
    } cases[] = {
        {u"C:\\Program Files\\Tessaly\\LabelCloud\\", u"LabelCloud"},  // a Windows manifest
        {u"LabelCloud\\bin\\", u"LabelCloud"},                         // no macro at all
        {u"", u"LabelCloud"},
        {u"$intallpath$", u"../LabelCloud"},  // a name climbing out of its folder
        {u"$intallpath$", u".."},
        {u"$intallpath$", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.path).toStdString() + " / "
                     + QString::fromUtf16(c.name).toStdString());
        engine.Manifest.files = {FileEntry(QString::fromUtf16(c.name), QString::fromUtf16(c.path))};
        EXPECT_FALSE(engine.DeployFiles(nullptr));
    }
    EXPECT_EQ(Entries(cwd), QStringList{});
    EXPECT_EQ(Entries(engine.InstallFolder), QStringList{});

    // The same holds for a relative installation folder.
    engine.InstallFolder = QStringLiteral("relative/");
    engine.Manifest = SampleManifest();
    EXPECT_FALSE(engine.DeployFiles(nullptr));
    EXPECT_EQ(Entries(cwd), QStringList{});
}

// The plan ends at the first entry without a place here; the step writes
// what comes before it and then fails with the plan's reason.
TEST_F(DeployFilesTest, PlanStopsAtTheFirstEntryWithoutAPlaceAndTheStepFollowsIt)
{
    engine.Manifest.files = {
        FileEntry(QStringLiteral("readme.txt"), QStringLiteral("$intallpath$doc\\")),
        FileEntry(QStringLiteral("Install.xml"), QStringLiteral("$intallpath$"), QStringLiteral("nodw")),
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$appdatapath$")),
        FileEntry(QStringLiteral("readme.txt"), QStringLiteral("C:\\Tessaly\\")),
        FileEntry(QStringLiteral("LabelCloud"), QStringLiteral("$intallpath$")),
    };
    const CInstallEngine::DeployPlan plan = engine.PlanDeployment();
    ASSERT_EQ(plan.files.size(), 2u);
    EXPECT_EQ(plan.files[0].name, QStringLiteral("readme.txt"));
    EXPECT_EQ(plan.files[0].target, engine.InstallFolder + QStringLiteral("doc/readme.txt"));
    EXPECT_EQ(plan.files[1].name, QStringLiteral("LabelCloud"));
    EXPECT_EQ(plan.files[1].target, engine.AppDataFolder + QStringLiteral("LabelCloud"));
    EXPECT_TRUE(plan.stop.IsSet());
    EXPECT_EQ(plan.count, 4);

    EXPECT_FALSE(engine.DeployFiles(&progress));
    EXPECT_EQ(engine.LastError().Text(), plan.stop.Text());
    EXPECT_TRUE(QFileInfo::exists(plan.files[0].target));
    EXPECT_TRUE(QFileInfo::exists(plan.files[1].target));
    EXPECT_FALSE(QFileInfo::exists(engine.InstallFolder + QStringLiteral("LabelCloud")));
    EXPECT_EQ(engine.Manifest.installedSize, 4200 + 47);
}

TEST_F(DeployFilesTest, InstallFolderThatCannotBeCreatedFails)
{
    // A file where the folder chain needs a folder.
    TESTS::WriteFileBytes(engine.InstallFolder.chopped(1), "not a folder");
    EXPECT_FALSE(engine.DeployFiles(&progress));
    EXPECT_TRUE(progress.positions.empty());
}

}  // namespace
