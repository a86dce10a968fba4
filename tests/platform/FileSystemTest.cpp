// The file-system services on real files in the sandbox.
#include "support/Sandbox.h"

#include "platform/FileSystem.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using PLATFORM::FileIdentity;
using TESTS::ReadFileBytes;
using TESTS::SandboxPath;
using TESTS::SandboxRoot;
using TESTS::WriteFileBytes;

TEST(FileSystem, IdentityTellsTheSameFileFromACopyOrALink)
{
    const QString file = SandboxPath("same/file");
    const QString second = SandboxPath("same/second");
    const QString copy = SandboxPath("same/copy");
    const QString link = SandboxPath("same/link");
    WriteFileBytes(file, "twelve bytes");
    WriteFileBytes(copy, "twelve bytes");
    ASSERT_EQ(PLATFORM::HardLink(file, second), 0);
    ASSERT_EQ(PLATFORM::SymbolicLink(file, link), 0);
    ASSERT_EQ(PLATFORM::SetMode(file, 0640), 0);

    FileIdentity identity;
    ASSERT_EQ(PLATFORM::IdentifyPath(file, &identity), 0);
    EXPECT_TRUE(identity.IsFile());
    EXPECT_EQ(identity.size, 12);
    EXPECT_EQ(identity.Permissions(), 0640u);
    EXPECT_EQ(identity.links, 2u);
    EXPECT_EQ(identity.owner, PLATFORM::CurrentUserId());
    // The open file answers as its name does.
    const PLATFORM::CFileHandle handle = PLATFORM::OpenForReading(file);
    FileIdentity held;
    ASSERT_EQ(handle.Identify(&held), 0);
    EXPECT_EQ(held, identity);
    EXPECT_TRUE(handle.IsAt(second));
    EXPECT_FALSE(handle.IsAt(copy));

    const struct {
        QString other;
        bool same;
    } cases[] = {
        {second, true},                        // a second name of the file
        {copy, false},                         // equal bytes, another file
        {link, false},                         // the link itself, not followed
        {SandboxPath("same/missing"), false},  // nothing there
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other.toStdString());
        EXPECT_EQ(PLATFORM::SameFile(file, c.other), c.same);
    }
    FileIdentity followed;
    ASSERT_EQ(PLATFORM::IdentifyPath(link, &followed), 0);
    EXPECT_TRUE(PLATFORM::SameFile(followed, identity));
    FileIdentity notFollowed;
    ASSERT_EQ(PLATFORM::IdentifyPath(link, &notFollowed, PLATFORM::Links::DoNotFollow), 0);
    EXPECT_TRUE(notFollowed.IsLink());
    EXPECT_EQ(PLATFORM::IdentifyPath(SandboxPath("same/missing"), &identity), ENOENT);
}

TEST(FileSystem, RenameWithoutReplacingRefusesATakenName)
{
    const QString from = SandboxPath("rename/from");
    const QString taken = SandboxPath("rename/taken");
    WriteFileBytes(from, "moving");
    WriteFileBytes(taken, "staying");

    EXPECT_EQ(PLATFORM::RenameNoReplace(from, taken), EEXIST);
    EXPECT_EQ(ReadFileBytes(from), "moving");
    EXPECT_EQ(ReadFileBytes(taken), "staying");

    const QString free = SandboxPath("rename/free");
    EXPECT_EQ(PLATFORM::RenameNoReplace(from, free), 0);
    EXPECT_FALSE(PLATFORM::PathExists(from));
    EXPECT_EQ(ReadFileBytes(free), "moving");
    EXPECT_EQ(PLATFORM::RenameNoReplace(from, SandboxPath("rename/again")), ENOENT);
}

TEST(FileSystem, LockedUniqueFileRefusesASecondLockWhileHeld)
{
    WriteFileBytes(SandboxPath("locked/.keep"), {});
    const QString stem = SandboxPath("locked/abc");
    PLATFORM::LockedFile made = PLATFORM::CreateLockedUniqueFile(stem, ".part");
    ASSERT_TRUE(made.handle.IsOpen()) << made.error;
    EXPECT_TRUE(made.path.startsWith(stem));
    EXPECT_TRUE(made.path.endsWith(".part"));
    EXPECT_EQ(made.path.size(), stem.size() + 6 + 5);
    FileIdentity identity;
    ASSERT_EQ(PLATFORM::IdentifyPath(made.path, &identity), 0);
    EXPECT_EQ(identity.size, 0);
    EXPECT_EQ(identity.Permissions(), 0600u);

    // Another opening of the file, as a sweep of another process makes it.
    PLATFORM::CFileHandle other = PLATFORM::OpenForReading(made.path);
    ASSERT_TRUE(other.IsOpen());
    EXPECT_FALSE(other.TryLock());
    // A duplicate shares the lock: it holds on while the first descriptor closes.
    PLATFORM::CFileHandle duplicate = made.handle.Duplicate();
    EXPECT_EQ(made.handle.Close(), 0);
    EXPECT_FALSE(other.TryLock());
    duplicate.Close();
    EXPECT_TRUE(other.TryLock());

    const PLATFORM::LockedFile none =
        PLATFORM::CreateLockedUniqueFile(SandboxPath("locked/missing/abc"), ".part");
    EXPECT_FALSE(none.handle.IsOpen());
    EXPECT_EQ(none.error, ENOENT);
}

TEST(FileSystem, ReadAtStopsAtTheEndOfTheFile)
{
    const QString path = SandboxPath("read/ten");
    WriteFileBytes(path, "0123456789");
    const PLATFORM::CFileHandle file = PLATFORM::OpenForReading(path);
    ASSERT_TRUE(file.IsOpen());
    const struct {
        qint64 offset;
        qint64 count;
        QByteArray expected;
    } cases[] = {
        {0, 4, "0123"},  // inside
        {8, 4, "89"},    // across the end: what there is
        {10, 4, ""},     // at the end
        {20, 4, ""},     // past it
        {3, 0, ""},      // nothing asked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        char buffer[8] = {};
        const qint64 got = file.ReadAt(buffer, c.count, c.offset);
        ASSERT_EQ(got, c.expected.size());
        EXPECT_EQ(QByteArray(buffer, int(got)), c.expected);
    }
    EXPECT_FALSE(PLATFORM::OpenForReading(SandboxPath("read/missing")).IsOpen());
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileSystem, FreeSpaceWalksUpToTheNearestExistingFolder)
{
    WriteFileBytes(SandboxPath("space/file"), "x");
    FileIdentity root;
    ASSERT_EQ(PLATFORM::IdentifyPath(SandboxPath("space"), &root), 0);
    const struct {
        QString folder;
        QString existing;
    } cases[] = {
        {SandboxPath("space"), SandboxPath("space")},
        {SandboxPath("space/"), SandboxPath("space")},
        {SandboxPath("space/missing/deeper/"), SandboxPath("space")},
        {SandboxPath("space/file/below"), SandboxPath("space")},  // a file is no folder
        {"/", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        PLATFORM::FolderSpace space;
        ASSERT_TRUE(PLATFORM::SpaceOfFolder(c.folder, &space));
        EXPECT_EQ(space.existing, c.existing);
        EXPECT_GT(space.block, 0);
        EXPECT_GE(space.free, 0);
        EXPECT_EQ(space.free % space.block, 0);
        if (c.existing != "/") {
            EXPECT_EQ(space.device, root.device);
        }
        EXPECT_TRUE(PLATFORM::FreeSpace(space.existing).has_value());
    }
    EXPECT_FALSE(PLATFORM::FreeSpace(SandboxPath("space/missing")).has_value());
}

}  // namespace
