// Writing a file into place: new file, replacement, a link or folder at the
// target, a failing write, the run-bit rule and exact modes, file times; the
// temporary files of killed writers swept, those of live ones kept.
#include "support/CaseName.h"
#include "support/Sandbox.h"
#include "support/SmallDisk.h"

#include "platform/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace PLATFORM;

namespace {

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

mode_t ModeOf(const QString& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode;
}

mode_t Umask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

enum class Before { Nothing, File, LinkToFile, Folder };

struct PlaceCase {
    const char* name;
    Before before;
    bool succeeds;
    const char* cause;  // the failure's cause when it does not
};

class FileWriterPlaceTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(FileWriterPlaceTest, PutsTheFileInPlaceOrLeavesEverythingAsItWas)
{
    const PlaceCase& c = GetParam();
    const QString folder = TESTS::SandboxPath(QStringLiteral("out"));
    const QString target = folder + QStringLiteral("/tool");
    const QString elsewhere = TESTS::SandboxPath(QStringLiteral("elsewhere/kept"));
    QDir().mkpath(folder);
    TESTS::WriteFileBytes(elsewhere, "not to be written through");
    switch (c.before) {
    case Before::Nothing:
        break;
    case Before::File:
        TESTS::WriteFileBytes(target, "old content that is longer");
        break;
    case Before::LinkToFile:
        ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(target).constData()),
                  0);
        break;
    case Before::Folder:
        QDir().mkpath(target + QStringLiteral("/inside"));
        break;
    }

    CFailure failure;
    const bool ok = WriteFileInPlace(target, "new", {}, &failure);
    EXPECT_EQ(ok, c.succeeds) << failure.Text().toStdString();
    if (c.succeeds) {
        EXPECT_FALSE(failure.IsSet());
        EXPECT_FALSE(QFileInfo(target).isSymLink());
        EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("new"));
    } else {
        EXPECT_EQ(failure.Text(), QStringLiteral("cannot write ") + target + QStringLiteral(": ") + c.cause);
        EXPECT_TRUE(QFileInfo(target + QStringLiteral("/inside")).isDir());
    }
    // A link's target is never written through; no temporary file stays.
    EXPECT_EQ(TESTS::ReadFileBytes(elsewhere), QByteArray("not to be written through"));
    EXPECT_EQ(FolderEntries(folder), QStringList{QStringLiteral("tool")});
}

INSTANTIATE_TEST_SUITE_P(Cases, FileWriterPlaceTest,
                         testing::Values(PlaceCase{"NewFile", Before::Nothing, true, ""},
                                         PlaceCase{"ReplacesAFile", Before::File, true, ""},
                                         PlaceCase{"ReplacesALinkNotItsTarget", Before::LinkToFile, true, ""},
                                         PlaceCase{"RefusesAFolder", Before::Folder, false,
                                                   "Is a directory"}),
                         TESTS::CaseName());

TEST(FileWriterTest, ReplacementIsANewFileSoOpenCopiesKeepTheOldBytes)
{
    const QString target = TESTS::SandboxPath(QStringLiteral("out/data"));
    const QString keep = TESTS::SandboxPath(QStringLiteral("out/hardlink"));
    TESTS::WriteFileBytes(target, "old");
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(keep).constData()), 0);
    ASSERT_TRUE(WriteFileInPlace(target, "new"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("new"));
    EXPECT_EQ(TESTS::ReadFileBytes(keep), QByteArray("old"));
}

TEST(FileWriterTest, MissingFolderIsNamedWithTheSystemsReason)
{
    const QString target = TESTS::SandboxPath(QStringLiteral("missing/file"));
    CFailure failure;
    EXPECT_FALSE(WriteFileInPlace(target, "x", {}, &failure));
    EXPECT_EQ(failure.Text(),
              QStringLiteral("cannot write ") + target + QStringLiteral(": No such file or directory"));
}

TEST(FileWriterTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const QString disk = TESTS::SandboxPath(QStringLiteral("small"));
    QString why;
    if (!TESTS::MountSmallDisk(disk, 64 * 1024, &why))
        GTEST_SKIP() << why.toStdString();
    const QString target = disk + QStringLiteral("/big.bin");
    TESTS::WriteFileBytes(target, "previous version");

    CFileWriter writer(target);
    ASSERT_TRUE(writer.Open());
    const QByteArray chunk(16 * 1024, 'x');
    bool written = true;
    for (int i = 0; i < 16 && written; ++i)
        written = writer.Write(chunk);
    EXPECT_FALSE(written && writer.Commit());
    EXPECT_EQ(writer.Failure().Text(),
              QStringLiteral("cannot write ") + target + QStringLiteral(": No space left on device"));
    EXPECT_FALSE(writer.Commit());  // a failed writer stays failed
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("previous version"));
    EXPECT_EQ(FolderEntries(disk), QStringList{QStringLiteral("big.bin")});
    TESTS::UnmountSmallDisk(disk);
}

TEST(FileWriterTest, ReadOnlyFileStaysAsItIs)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any file, so a read-only file cannot be tried";
    const QString target = TESTS::SandboxPath(QStringLiteral("out/readonly"));
    TESTS::WriteFileBytes(target, "kept");
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner));
    CFailure failure;
    EXPECT_FALSE(WriteFileInPlace(target, "new", {}, &failure));
    EXPECT_EQ(failure.cause, QStringLiteral("Permission denied"));
    EXPECT_EQ(TESTS::ReadFileBytes(target), QByteArray("kept"));
}

struct ModeCase {
    const char* name;
    QByteArray content;
    std::optional<mode_t> exactMode;
    mode_t expected;  // before the umask when not exact
    bool plainMode = false;
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileWriterModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(FileWriterModeTest, RunBitRuleOrPlainOrExactMode)
{
    const ModeCase& c = GetParam();
    const QString target = TESTS::SandboxPath(QStringLiteral("out/file"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("out")));
    FileWriteOptions options;
    options.exactMode = c.exactMode;
    options.plainMode = c.plainMode;
    ASSERT_TRUE(WriteFileInPlace(target, c.content, options));
    const mode_t expected = c.exactMode ? c.expected : (c.expected & ~Umask());
    EXPECT_EQ(ModeOf(target) & 07777, expected);
    EXPECT_EQ(ModeForContent(reinterpret_cast<const unsigned char*>(c.content.constData()),
                             size_t(c.content.size())),
              c.content.startsWith("#!")
                      || c.content.startsWith("\x7F"
                                              "ELF")
                  ? (0755 & ~Umask())
                  : (0644 & ~Umask()));
}

INSTANTIATE_TEST_SUITE_P(Cases, FileWriterModeTest,
                         testing::Values(ModeCase{"Script", "#!/bin/sh\n", std::nullopt, 0755},
                                         ModeCase{"Elf",
                                                  QByteArray("\x7F"
                                                             "ELF\x02\x01",
                                                             6),
                                                  std::nullopt, 0755},
                                         ModeCase{"HashOnly", "# notes", std::nullopt, 0644},
                                         ModeCase{"ElfMagicCut",
                                                  QByteArray("\x7F"
                                                             "EL",
                                                             3),
                                                  std::nullopt, 0644},
                                         ModeCase{"Empty", QByteArray(), std::nullopt, 0644},
                                         ModeCase{"Text", "hello", std::nullopt, 0644},
                                         ModeCase{"PlainForAnElf",
                                                  QByteArray("\x7F"
                                                             "ELF\x02\x01",
                                                             6),
                                                  std::nullopt, 0666, true},
                                         ModeCase{"PlainForAScript", "#!/bin/sh\n", std::nullopt, 0666, true},
                                         ModeCase{"ExactBeatsPlain", "data", mode_t(0600), 0600, true},
                                         ModeCase{"ExactForAScript", "#!/bin/sh\n", mode_t(0644), 0644},
                                         ModeCase{"ExactRunnable", "[Desktop Entry]\n", mode_t(0755), 0755}),
                         TESTS::CaseName());

TEST(FileWriterTest, SetsTheGivenTimes)
{
    const QString target = TESTS::SandboxPath(QStringLiteral("out/stamped"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("out")));
    FileWriteOptions options;
    options.modified = time_t(1661524778);
    ASSERT_TRUE(WriteFileInPlace(target, "x", options));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1661524778);
    EXPECT_EQ(st.st_atim.tv_sec, 1661524778);
}

TEST(FileWriterTest, AbandonedOrDestroyedWriterLeavesNothing)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("out"));
    QDir().mkpath(folder);
    {
        CFileWriter writer(folder + QStringLiteral("/never"));
        ASSERT_TRUE(writer.Open());
        EXPECT_TRUE(QFileInfo::exists(writer.TemporaryPath()));
        ASSERT_TRUE(writer.Write("half"));
    }
    EXPECT_EQ(FolderEntries(folder), QStringList());
}

// A live writer holds its temporary file locked up to the rename, so a sweep
// takes only what killed writers left: files of the writer's name form.
TEST(FileWriterTest, SweepTakesOnlyWhatKilledWritersLeft)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("out"));
    QDir().mkpath(folder);
    const char* const left[] = {".nvxAb12Cd.part", ".nvx000000.part"};
    const char* const others[] = {".nvxAb12Cd.part.old", "nvxAb12Cd.part", ".nvxshort.part", "file"};
    for (const char* name : left)
        TESTS::WriteFileBytes(folder + u'/' + QString::fromLatin1(name), "killed");
    for (const char* name : others)
        TESTS::WriteFileBytes(folder + u'/' + QString::fromLatin1(name), "other");
    CFileWriter writer(folder + QStringLiteral("/target"));
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write("live"));
    const int probe = ::open(QFile::encodeName(writer.TemporaryPath()).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);

    EXPECT_EQ(RemoveStaleWriterFiles(folder), 2);
    for (const char* name : left)
        EXPECT_FALSE(QFileInfo::exists(folder + u'/' + QString::fromLatin1(name))) << name;
    for (const char* name : others)
        EXPECT_TRUE(QFileInfo::exists(folder + u'/' + QString::fromLatin1(name))) << name;
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("/target")), "live");
    EXPECT_EQ(RemoveStaleWriterFiles(folder), 0);
}

}  // namespace
