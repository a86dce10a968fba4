// Starting programs: what counts as runnable, the elevated command line, the
// elevated start's exit status, and removing a running program's file.
#include "support/Sandbox.h"

#include "platform/ProgramStarter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <unistd.h>

using PLATFORM::CProgramStarter;

namespace {

TEST(ProgramStarterTest, RunnableMeansAnExecutableRegularFile)
{
    const QString script = TESTS::SandboxPath(QStringLiteral("bin/tool"));
    const QString document = TESTS::SandboxPath(QStringLiteral("bin/manual.pdf"));
    TESTS::WriteFileBytes(script, "#!/bin/sh\n");
    TESTS::WriteFileBytes(document, "%PDF");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const struct {
        QString path;
        bool runnable;
    } cases[] = {{script, true},
                 {document, false},
                 {TESTS::SandboxPath(QStringLiteral("bin")), false},
                 {TESTS::SandboxPath(QStringLiteral("bin/missing")), false},
                 {QString(), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(CProgramStarter::IsRunnable(c.path), c.runnable);
    }
}

TEST(ProgramStarterTest, ElevationGoesThroughPkexecOnlyForOtherUsersWithPkexec)
{
    const QStringList args{QStringLiteral("--install"), QStringLiteral("a b")};
    const struct {
        const char* name;
        bool root;
        const char* pkexec;
        QStringList command;
    } cases[] = {
        {"user with pkexec", false, "/usr/bin/pkexec",
         QStringList{"/usr/bin/pkexec", "/opt/editor/setup", "--install", "a b"}},
        {"user without pkexec", false, "", QStringList{"/opt/editor/setup", "--install", "a b"}},
        {"root", true, "/usr/bin/pkexec", QStringList{"/opt/editor/setup", "--install", "a b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CProgramStarter::ElevatedCommand(QStringLiteral("/opt/editor/setup"), args, c.root,
                                                   QString::fromLatin1(c.pkexec)),
                  c.command);
    }
}

TEST(ProgramStarterTest, ElevatedStartWaitsAndGivesTheExitStatus)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "as another user the start would ask for a password through pkexec";
    const QString marker = TESTS::SandboxPath(QStringLiteral("ran"));
    CProgramStarter starter;
    const std::optional<int> status = starter.StartElevatedAndWait(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("sleep 0.2; : > \"$0\"; exit 3"), marker});
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 3);
    EXPECT_TRUE(QFileInfo::exists(marker));  // waited for the end
    EXPECT_FALSE(starter.StartElevatedAndWait(TESTS::SandboxPath(QStringLiteral("missing")), {}).has_value());
}

TEST(ProgramStarterTest, RemovesTheFileOfARunningProgram)
{
    const QString program = TESTS::SandboxPath(QStringLiteral("tmp/UNabc.tmp"));
    TESTS::WriteFileBytes(program,
                          QFile(QStringLiteral("/bin/sleep")).exists()
                              ? TESTS::ReadFileBytes(QStringLiteral("/bin/sleep"))
                              : QByteArray());
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess running;
    running.start(program, {QStringLiteral("30")});
    ASSERT_TRUE(running.waitForStarted());
    CProgramStarter starter;
    EXPECT_TRUE(starter.RemoveRunningExecutable(program));
    EXPECT_FALSE(QFileInfo::exists(program));
    EXPECT_EQ(running.state(), QProcess::Running);
    running.kill();
    running.waitForFinished();
    EXPECT_TRUE(starter.RemoveRunningExecutable(program));  // already gone counts as gone
}

TEST(ProgramStarterTest, StartsDetachedAndOpensOtherFilesWithTheirHandler)
{
    // A starter whose handler is recorded instead of asking the desktop.
    struct CRecording : CProgramStarter {
        QStringList opened;
        bool OpenWithHandler(const QString& document) override
        {
            opened << document;
            return true;
        }
    } starter;
    const QString marker = TESTS::SandboxPath(QStringLiteral("started"));
    const QString script = TESTS::SandboxPath(QStringLiteral("bin/tool"));
    TESTS::WriteFileBytes(script, "#!/bin/sh\n: > \"$1\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_TRUE(starter.OpenProgram(script, {marker}));
    for (int i = 0; i < 200 && !QFileInfo::exists(marker); ++i)
        ::usleep(50000);
    EXPECT_TRUE(QFileInfo::exists(marker));
    EXPECT_TRUE(starter.opened.isEmpty());

    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_TRUE(starter.OpenProgram(script));
    EXPECT_EQ(starter.opened, QStringList{script});
}

}  // namespace
