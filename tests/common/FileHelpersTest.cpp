// Folder helpers and the file test, inside the sandbox.
#include "support/Sandbox.h"

#include "common/FileHelpers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using TESTS::SandboxPath;
using TESTS::SandboxRoot;
using TESTS::WriteFileBytes;

bool IsDir(const QString& path)
{
    return QFileInfo(path).isDir();
}
bool Exists(const QString& path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

void Link(const QString& target, const QString& link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0)
        << link.toStdString();
}

using TESTS::Listing;

TEST(CreateDirectoryTree, CreatesFoldersUpToTheLastSlash)
{
    const struct {
        const char* name;
        const char* before;  // text in front of the sandbox path
        const char* rel;     // below the sandbox root
        const char* after;
        const char* fileFirst;  // a file created beforehand, or null
        bool result;
        QStringList folders;  // must be folders afterwards
        QStringList absent;   // must not exist afterwards
    } cases[] = {
        {"with final slash", "", "A/B/", "", nullptr, true, {"A", "A/B"}, {}},
        {"without final slash", "", "A/B", "", nullptr, true, {"A"}, {"A/B"}},
        {"file path", "", "A/B/C/file.txt", "", nullptr, true, {"A/B/C"}, {"A/B/C/file.txt"}},
        {"blanks around", " \t", "A/", "  \n", nullptr, true, {"A"}, {}},
        {"doubled slash", "", "A//B/", "", nullptr, true, {"A/B"}, {}},
        {"already there", "", "", "", nullptr, true, {""}, {}},
        {"prefix is a file", "", "F/B/", "", "F", false, {}, {"F/B"}},
        {"deeper prefix is a file", "", "A/F/B/C/", "", "A/F", false, {"A"}, {"A/F/B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString base = SandboxPath(QStringLiteral("case%1/").arg(&c - cases));
        QDir().mkpath(base);
        if (c.fileFirst)
            WriteFileBytes(base + c.fileFirst, "x");

        EXPECT_EQ(CreateDirectoryTree(c.before + base + c.rel + c.after), c.result);
        for (const QString& f : c.folders)
            EXPECT_TRUE(IsDir(base + f)) << f.toStdString();
        for (const QString& f : c.absent)
            EXPECT_FALSE(Exists(base + f)) << f.toStdString();
    }
}

// A path too long for the system fails deep down; the folders made on the
// way are removed again.
TEST(CreateDirectoryTree, FailureHalfwayRemovesWhatItMade)
{
    QString path = SandboxPath("deep/");
    ASSERT_TRUE(QDir().mkpath(path));
    for (int i = 0; i < 3000; ++i)
        path += QStringLiteral("d/");
    EXPECT_FALSE(CreateDirectoryTree(path));
    EXPECT_FALSE(QFileInfo::exists(SandboxPath("deep/d")));
    EXPECT_TRUE(IsDir(SandboxPath("deep")));
}

TEST(CreateDirectoryTree, EmptyOrBlankPathIsTrue)
{
    EXPECT_TRUE(CreateDirectoryTree(QString()));
    EXPECT_TRUE(CreateDirectoryTree(QStringLiteral("  \t ")));
}

// A tree to delete, next to folders it links to that must survive.
class DeleteDirectoryTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(SandboxPath("outside/keep.txt"), "keep");
        WriteFileBytes(SandboxPath("outside/dir/inner.txt"), "inner");

        WriteFileBytes(SandboxPath("victim/a.txt"), "a");
        WriteFileBytes(SandboxPath("victim/.hidden"), "h");
        WriteFileBytes(SandboxPath("victim/sub/b.txt"), "b");
        WriteFileBytes(SandboxPath("victim/sub/deeper/.c"), "c");
        QDir().mkpath(SandboxPath("victim/sub/.hiddendir/empty"));
        WriteFileBytes(SandboxPath("victim/readonly.txt"), "r");
        ::chmod(QFile::encodeName(SandboxPath("victim/readonly.txt")).constData(), 0444);
        Link(SandboxPath("outside/dir"), SandboxPath("victim/linkdir"));
        Link(SandboxPath("outside/dir/"), SandboxPath("victim/sub/linkdirslash"));
        Link(SandboxPath("outside/keep.txt"), SandboxPath("victim/sub/linkfile"));
        Link(SandboxPath("nowhere"), SandboxPath("victim/dangling"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(SandboxPath("victim/fifo")).constData(), 0600), 0);
    }

    void ExpectOutsideIntact()
    {
        EXPECT_EQ(TESTS::ReadFileBytes(SandboxPath("outside/keep.txt")), "keep");
        EXPECT_EQ(TESTS::ReadFileBytes(SandboxPath("outside/dir/inner.txt")), "inner");
        EXPECT_EQ(Listing(SandboxPath("outside")), QStringList({"dir", "dir/inner.txt", "keep.txt"}));
    }
};

TEST_F(DeleteDirectoryTreeTest, RemovesEverythingButNeverFollowsLinks)
{
    const QString spellings[] = {
        SandboxPath("victim"),
        SandboxPath("victim/"),
        " " + SandboxPath("victim/") + "\t",
    };
    for (const QString& path : spellings) {
        SCOPED_TRACE(path.toStdString());
        if (!Exists(SandboxPath("victim")))
            SetUp();
        EXPECT_TRUE(DeleteDirectoryTree(path));
        EXPECT_FALSE(Exists(SandboxPath("victim")));
        ExpectOutsideIntact();
    }
}

TEST_F(DeleteDirectoryTreeTest, MissingFolderOrFileChangesNothing)
{
    const QStringList before = Listing(SandboxRoot());
    const QString paths[] = {
        SandboxPath("absent/"),
        SandboxPath("victim/absent"),
        SandboxPath("victim/a.txt"),  // a file, not a folder
        QString(),
        QStringLiteral("   "),
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(DeleteDirectoryTree(path));
        EXPECT_EQ(Listing(SandboxRoot()), before);
    }
}

TEST_F(DeleteDirectoryTreeTest, LinkGivenAsTheFolderIsRemovedAsALink)
{
    Link(SandboxPath("outside"), SandboxPath("victimlink"));
    EXPECT_TRUE(DeleteDirectoryTree(SandboxPath("victimlink/")));
    EXPECT_FALSE(Exists(SandboxPath("victimlink")));
    ExpectOutsideIntact();
}

TEST(WithOneSlash, EndsWithExactlyOneSlash)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"", "/"},          {"/", "/"},          {"///", "/"},    {"/opt", "/opt/"},
                 {"/opt/", "/opt/"}, {"/opt//", "/opt/"}, {"a b", "a b/"}, {"/a//b", "/a//b/"}};
    for (const auto& c : cases)
        EXPECT_EQ(WithOneSlash(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(WithoutFinalSlash, DropsEveryFinalSlashButTheRoot)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"", ""},          {"/", "/"},         {"///", "/"},    {"/opt", "/opt"},
                 {"/opt/", "/opt"}, {"/opt//", "/opt"}, {"a b/", "a b"}, {"/a//b/", "/a//b"}};
    for (const auto& c : cases)
        EXPECT_EQ(WithoutFinalSlash(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(FileExists, AnswersForFilesOnly)
{
    WriteFileBytes(SandboxPath("file.txt"), "x");
    QDir().mkpath(SandboxPath("folder"));
    Link(SandboxPath("file.txt"), SandboxPath("linkfile"));
    Link(SandboxPath("folder"), SandboxPath("linkfolder"));
    Link(SandboxPath("nowhere"), SandboxPath("dangling"));

    const struct {
        const char* name;
        QString path;
        bool exists;
    } cases[] = {
        {"file", SandboxPath("file.txt"), true},
        {"folder", SandboxPath("folder"), false},
        {"folder with final slash", SandboxPath("folder/"), false},
        {"missing", SandboxPath("missing.txt"), false},
        {"path through a file", SandboxPath("file.txt/x"), false},
        {"link to a file", SandboxPath("linkfile"), true},
        {"link to a folder", SandboxPath("linkfolder"), false},
        // The entry is there and is no folder, as a search of the folder shows.
        {"dangling link", SandboxPath("dangling"), true},
        {"empty path", QString(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FileExists(c.path), c.exists);
    }
}

}  // namespace
