// Unattended installs that fail, with real installers: the target is a
// folder, the install folder is read-only, an entry is damaged or missing,
// the disk is full. Standard error carries text 1106 and, on the next line,
// what failed, the path and the cause; the log has the same reason before
// the rollback. The
// checks before the first write find the last two: their own message then.
#include "SampleRuns.h"

#include "support/CaseName.h"
#include "support/SmallDisk.h"

#include "common/MessageTable.h"
#include "database/CppSQLite3DB.h"
#include "platform/Registry.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using E2E::RunResult;

// How one failing run is made, and the reason it must give.
struct Plan {
    QString skip;  // why this case cannot be tried here
    QString program;
    QStringList arguments;  // before -silent
    QStringList more;       // after -silent (the folder)
    QStringList environment;
    QString logPath;
    QString reason;       // the exact line after 1106, when known in full
    QString reasonStart;  // else its start
    QString reasonEnd;    // and its end
    QString message;      // the start of the one message of a check before writing
};

void ChangePackage(const QString& package, const QString& sql)
{
    DATABASE::CppSQLite3DB db;
    ASSERT_TRUE(db.Open(package, true));
    EXPECT_EQ(db.Execute(sql), 0);
    EXPECT_EQ(sqlite3_changes(db.Handle()), 1);
    db.Close();
}

Plan TargetIsAFolder()
{
    Plan plan;
    plan.program =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const QString target = E2E::SampleInstallFolder() + QStringLiteral("LabelPrint");
    TESTS::WriteFileBytes(target + QStringLiteral("/notes.txt"), "mine");
    plan.reason = QStringLiteral("cannot write ") + target + QStringLiteral(": Is a directory");
    return plan;
}

Plan DamagedEntry()
{
    Plan plan;
    plan.program =
        E2E::MakeInstaller(TESTS::SandboxPath(QStringLiteral("build")), [](const QString& package) {
            ChangePackage(package,
                          QStringLiteral("update files set md5='00000000000000000000000000000000' "
                                         "where name='README.txt';"));
        });
    plan.reason = QStringLiteral("cannot extract README.txt to ") + E2E::SampleInstallFolder()
        + QStringLiteral("doc/README.txt: digest mismatch");
    return plan;
}

Plan EntryMissingFromThePackage()
{
    Plan plan;
    plan.program =
        E2E::MakeInstaller(TESTS::SandboxPath(QStringLiteral("build")), [](const QString& package) {
            ChangePackage(package, QStringLiteral("delete from files where name='README.txt';"));
        });
    plan.reason = QStringLiteral("cannot extract README.txt to ") + E2E::SampleInstallFolder()
        + QStringLiteral("doc/README.txt: no such entry in the package");
    return plan;
}

Plan ReadOnlyInstallFolder()
{
    Plan plan;
    if (::geteuid() != 0) {
        // As an ordinary user the folder's mode is enough.
        const QString folder = TESTS::SandboxPath(QStringLiteral("readonly"));
        QDir().mkpath(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        plan.program =
            E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
        plan.more = {folder};
        plan.message =
            QStringLiteral("无法在文件夹“") + folder + QStringLiteral("/”中安装：Permission denied。");
        return plan;
    }
    // Root writes anywhere: the installer runs as nobody, in a sandbox of its own.
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        plan.skip =
            QStringLiteral("running as root and setpriv is missing, so no user without rights can be tried");
        return plan;
    }
    const QString root = TESTS::SandboxPath(QStringLiteral("nobody"));
    QDir().mkpath(root + QStringLiteral("/home"));
    QDir().mkpath(root + QStringLiteral("/tmp"));
    plan.program = setpriv;
    plan.arguments = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                      QStringLiteral("--clear-groups"), QStringLiteral("--"),
                      E2E::CopyOfSampleInstaller(root + QStringLiteral("/LabelPrintSetup"))};
    const QString chown = QStringLiteral("chown -R 65534:65534 '") + root
        + QStringLiteral("' && chmod 0711 '") + TESTS::SandboxRoot() + QStringLiteral("'");
    EXPECT_EQ(std::system(chown.toLocal8Bit().constData()), 0);
    // Created by root after the chown: nobody may look in, not write.
    const QString folder = root + QStringLiteral("/readonly");
    QDir().mkpath(folder);
    plan.more = {folder};
    plan.environment = {QStringLiteral("NORVEX_ROOT=") + root,
                        QStringLiteral("HOME=") + root + QStringLiteral("/home")};
    plan.logPath = root + QStringLiteral("/run.log");
    plan.message = QStringLiteral("无法在文件夹“") + folder + QStringLiteral("/”中安装：Permission denied。");
    return plan;
}

Plan FullDisk()
{
    Plan plan;
    const QString disk = TESTS::SandboxPath(QStringLiteral("small"));
    if (!TESTS::MountSmallDisk(disk, 64 * 1024, &plan.skip))
        return plan;
    plan.program =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    plan.more = {disk + QStringLiteral("/LabelPrint")};
    plan.message =
        QStringLiteral("文件夹“") + disk + QStringLiteral("/LabelPrint/”所在的磁盘空间不足：需要 ");
    return plan;
}

struct FailureCase {
    const char* name;
    Plan (*prepare)();
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class FailureReasonTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureReasonTest, StandardErrorAndTheLogNameThePathAndTheCause)
{
    SetSystemLanguageId(kLangChinesePrc);
    Plan plan = GetParam().prepare();
    if (!plan.skip.isEmpty())
        GTEST_SKIP() << plan.skip.toStdString();
    if (plan.logPath.isEmpty())
        plan.logPath = TESTS::SandboxPath(QStringLiteral("run.log"));

    const RunResult r = E2E::RunProgram(
        plan.program,
        plan.arguments + QStringList{QStringLiteral("-silent"), QStringLiteral("-log"), plan.logPath}
            + plan.more,
        plan.environment);
    EXPECT_EQ(r.exitCode, 1) << E2E::Show(r);
    const QStringList err = r.err.split(u'\n', Qt::SkipEmptyParts);
    if (!plan.message.isEmpty()) {
        ASSERT_EQ(err.size(), 1) << E2E::Show(r);
        EXPECT_TRUE(err[0].startsWith(plan.message)) << E2E::Show(r);
        const QString log = QString::fromUtf8(TESTS::ReadFileBytes(plan.logPath));
        EXPECT_TRUE(log.contains(QStringLiteral(" failed: "))) << log.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral(" end: failure, exit code 1, "))) << log.toStdString();
        return;
    }
    ASSERT_GE(err.size(), 2) << E2E::Show(r);
    EXPECT_EQ(err[err.size() - 2], QString::fromUtf16(GetText(1106)));
    const QString reason = err.last();
    if (!plan.reason.isEmpty()) {
        EXPECT_EQ(reason, plan.reason);
    } else {
        EXPECT_TRUE(reason.startsWith(plan.reasonStart)) << reason.toStdString();
        EXPECT_TRUE(reason.endsWith(plan.reasonEnd)) << reason.toStdString();
    }

    const QStringList log =
        QString::fromUtf8(TESTS::ReadFileBytes(plan.logPath)).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(log.size(), 3);
    // The failure, then what undoing the run did.
    const qsizetype failed = log.indexOf(QRegularExpression(QStringLiteral(".* rolling back$"))) - 1;
    ASSERT_GE(failed, 0) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log[failed].endsWith(QStringLiteral(" failed: ") + reason)) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.last().contains(QStringLiteral(" end: failure, exit code 1, ")))
        << log.last().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, FailureReasonTest,
                         testing::Values(FailureCase{"TargetIsAFolder", TargetIsAFolder},
                                         FailureCase{"ReadOnlyInstallFolder", ReadOnlyInstallFolder},
                                         FailureCase{"DamagedEntry", DamagedEntry},
                                         FailureCase{"EntryMissingFromThePackage",
                                                     EntryMissingFromThePackage},
                                         FailureCase{"FullDisk", FullDisk}),
                         TESTS::CaseName());

// Steps that go on past a failure: the run finishes, then names the step and
// the reason, and does not count as a success.
struct StepFailureCase {
    const char* name;
    void (*prepare)();
    const char* step;
    const char* reason;  // a part of the reason
};

void PrintTo(const StepFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

// A folder with a file in it where a file must go: even root cannot put a
// file there.
void BlockWithFolder(const QString& path)
{
    TESTS::WriteFileBytes(path + QStringLiteral("/keep"), "mine");
}

class StepFailureTest : public testing::TestWithParam<StepFailureCase> {};

TEST_P(StepFailureTest, RunFinishesThenSaysWhichStepFailedAndExitsOne)
{
    SetSystemLanguageId(kLangChinesePrc);
    const StepFailureCase& c = GetParam();
    c.prepare();
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const QString logPath = TESTS::SandboxPath(QStringLiteral("run.log"));

    const RunResult r =
        E2E::RunProgram(installer, {QStringLiteral("-silent"), QStringLiteral("-log"), logPath});
    EXPECT_EQ(r.exitCode, 1) << E2E::Show(r);
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("“") + QString::fromUtf8(c.step) + QStringLiteral("”这一步没有完成：")))
        << E2E::Show(r);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << E2E::Show(r);
    EXPECT_FALSE(r.err.contains(QString::fromUtf16(GetText(1106)))) << E2E::Show(r);
    // The other steps were done.
    EXPECT_TRUE(QFileInfo::exists(E2E::SampleInstallFolder() + QStringLiteral("LabelPrint")));
    EXPECT_TRUE(QFileInfo::exists(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop")));
    const QByteArray log = TESTS::ReadFileBytes(logPath);
    EXPECT_TRUE(log.contains(" end: failure, exit code 1, ")) << log.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StepFailureTest,
    testing::Values(
        StepFailureCase{
            "ProductKeyUnwritable",
            [] { BlockWithFolder(PLATFORM::CRegistry::HivePath(PLATFORM::RegRoot::CurrentUser)); },
            "注册程序信息", "cannot write the registry value"},
        StepFailureCase{
            "UninstallEntryUnwritable",
            [] { BlockWithFolder(PLATFORM::CRegistry::HivePath(PLATFORM::RegRoot::LocalMachine)); },
            "创建卸载信息", "registry/machine.db: unable to open database file"},
        StepFailureCase{"UninstallXmlUnwritable",
                        [] { BlockWithFolder(E2E::SampleInstallFolder() + QStringLiteral("uninstall.xml")); },
                        "创建卸载信息", "uninstall.xml"}),
    TESTS::CaseName());

// A launcher entry that cannot be written is said on standard error and the
// run goes on: the other entries are written and the run succeeds.
TEST(ShortcutFailure, EntryThatCannotBeWrittenIsSaidAndTheRunGoesOn)
{
    const QString blocked = PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop");
    BlockWithFolder(blocked);
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const RunResult r = E2E::RunProgram(installer, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 0) << E2E::Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot write ") + blocked)) << E2E::Show(r);
    EXPECT_TRUE(
        QFileInfo::exists(PLATFORM::ProgramsMenuFolder()
                          + QStringLiteral("Tessaly Label Print & Share/Tessaly Label Print.desktop")));
    EXPECT_TRUE(QFileInfo::exists(E2E::SampleInstallFolder() + QStringLiteral("uninstall.xml")));
}

}  // namespace
