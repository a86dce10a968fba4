// The private temporary folder and its files, inside the sandbox.
#include "support/Sandbox.h"

#include "platform/TempFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using TESTS::SandboxPath;
using TESTS::SandboxRoot;
using TESTS::WriteFileBytes;

bool IsDir(const QString& path)
{
    return QFileInfo(path).isDir();
}

using TESTS::Listing;

TEST(TempFiles, TemporaryFolderIsPrivateAndInsideTheSandbox)
{
    const QString folder = GetTempDirectory();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.startsWith(SandboxRoot() + '/'));
    EXPECT_TRUE(folder.endsWith('/'));
    EXPECT_FALSE(folder.endsWith("//"));
    EXPECT_TRUE(IsDir(folder));
}

TEST(TempFiles, NewNameUsesThreeCharactersOfThePrefixAndReservesAnEmptyFile)
{
    const struct {
        QString prefix;
        QString head;
    } cases[] = {{"CAB", "CAB"}, {"INI", "INI"}, {"UN", "UN"}, {"LONGER", "LON"}, {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix.toStdString());
        const QString first = CreateTempFileName(c.prefix);
        const QString second = CreateTempFileName(c.prefix);
        ASSERT_FALSE(first.isEmpty());
        EXPECT_NE(first, second);
        const QFileInfo info(first);
        EXPECT_EQ(info.path() + '/', GetTempDirectory());
        EXPECT_TRUE(
            QRegularExpression("^" + c.head + "[A-Za-z0-9]{6}\\.tmp$").match(info.fileName()).hasMatch())
            << info.fileName().toStdString();
        EXPECT_TRUE(info.isFile());
        EXPECT_EQ(info.size(), 0);
    }
}

TEST(TempFiles, NoNameWhenThePrefixWouldLeaveTheFolder)
{
    EXPECT_EQ(CreateTempFileName(QStringLiteral("../x")), QString());
    EXPECT_EQ(CreateTempFileName(QStringLiteral("a/b")), QString());
    // Nothing was created, neither inside the folder nor beside it.
    EXPECT_EQ(Listing(SandboxPath("tmp")), QStringList(QStringLiteral("norvex-%1").arg(::getuid())));
}

TEST(TempFiles, NoNameWhenTheTemporaryFolderIsUnusable)
{
    // Something that is not ours where the temporary folder belongs.
    const QString tmp = SandboxPath(QStringLiteral("tmp/norvex-%1").arg(::getuid()));
    WriteFileBytes(tmp, "not a folder");
    EXPECT_EQ(GetTempDirectory(), QString());
    EXPECT_EQ(CreateTempFileName(QStringLiteral("CAB")), QString());
    EXPECT_EQ(TESTS::ReadFileBytes(tmp), "not a folder");
}

// A later run removes what a killed run left, and nothing in use or not ours.
TEST(TempFiles, StaleFilesGoFilesInUseAndOthersStay)
{
    const QString folder = GetTempDirectory();
    ASSERT_FALSE(folder.isEmpty());
    const QString held = CreateTempFileName(QStringLiteral("CAB"));  // locked by this process
    ASSERT_FALSE(held.isEmpty());
    struct Entry {
        const char* name;
        bool removed;
    };
    const Entry entries[] = {
        {"CABa1B2c3.tmp", true},  // a killed run's package copy
        {"UNx9Y8z7.tmp", true},   // two-letter prefixes exist too
        {"notes.txt", false},     // not a temporary file name of ours
        {"CABsh.tmp", false},     // not the six-character form
        {"CAB123456.tmp.part", false},
    };
    for (const Entry& e : entries)
        WriteFileBytes(folder + QString::fromLatin1(e.name), "x");
    // A temporary file held by another live process stays as well.
    const QString other = folder + QStringLiteral("INIq1w2e3.tmp");
    WriteFileBytes(other, "x");
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import fcntl,sys,time\nf=open(sys.argv[1])\nfcntl.flock(f,fcntl.LOCK_EX)\n"
                                 "print('locked',flush=True)\ntime.sleep(120)"),
                  other});
    ASSERT_TRUE(holder.waitForReadyRead(60000));

    RemoveStaleTempFiles();

    for (const Entry& e : entries)
        EXPECT_EQ(QFileInfo::exists(folder + QString::fromLatin1(e.name)), !e.removed) << e.name;
    EXPECT_TRUE(QFileInfo::exists(held));
    EXPECT_TRUE(QFileInfo::exists(other));
    holder.kill();
    holder.waitForFinished();
    RemoveStaleTempFiles();
    EXPECT_FALSE(QFileInfo::exists(other));
    EXPECT_TRUE(QFileInfo::exists(held));
}

}  // namespace
