// Real installers whose attached package or resource directory was altered:
// each is a damaged installer (start-up message, exit 2) that writes nothing
// and never hangs or falls back to a setup.cab beside it.
#include "SampleRuns.h"

#include "support/AttachDirectly.h"
#include "support/CaseName.h"

#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::Show;

const QString kPackageMessage = QStringLiteral("安装程序无法加载安装数据，请重新下载安装程序后重试！");

struct HostileCase {
    const char* name;
    const char* sql;       // run on a copy of the sample package before attaching; may be empty
    bool damageDirectory;  // flip the last byte of the attached resource directory
    int exitCode;
};

class HostileInstallerTest : public testing::TestWithParam<HostileCase> {};

void RunSql(const QString& path, const QString& sql)
{
    const RunResult r = RunProgram(QStringLiteral("python3"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("import sqlite3,sys\nc=sqlite3.connect(sys.argv[1])\n"
                                                   "c.executescript(sys.argv[2])\nc.commit()\nc.close()"),
                                    path, sql});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
}

TEST_P(HostileInstallerTest, IsRefusedAtStartup)
{
    const HostileCase& c = GetParam();
    const QString dir = TESTS::SandboxPath(QStringLiteral("Downloads/"));
    const QString package = dir + QStringLiteral("edited.cab");
    TESTS::WriteFileBytes(package, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_PACKAGE)));
    if (*c.sql)
        RunSql(package, QString::fromUtf8(c.sql));

    const QString installer = dir + QStringLiteral("LabelPrintSetup");
    // Attached directly: the packer itself rightly refuses such packages.
    QString error;
    ASSERT_TRUE(TESTS::AttachDirectly(QStringLiteral(NORVEX_SETUP_EXE), package, installer, &error))
        << error.toStdString();
    if (c.damageDirectory) {
        QByteArray bytes = TESTS::ReadFileBytes(installer);
        const qsizetype last = bytes.size() - 48 - 1;  // the directory ends at the footer
        bytes[last] = char(bytes[last] ^ 0x20);
        TESTS::WriteFileBytes(installer, bytes);
        QFile::setPermissions(installer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // A sound package beside it must not stand in for the damaged one.
    TESTS::WriteFileBytes(dir + QStringLiteral("setup.cab"),
                          TESTS::ReadFileBytes(QStringLiteral(SAMPLE_PACKAGE)));

    const RunResult r = RunProgram(installer, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, c.exitCode) << Show(r);
    const QString installFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/");
    if (c.exitCode == 2) {
        EXPECT_TRUE(r.err.contains(kPackageMessage)) << Show(r);
        EXPECT_FALSE(QFileInfo::exists(installFolder));
    } else {
        EXPECT_TRUE(QFileInfo::exists(installFolder + QStringLiteral("uninstall.xml")));
    }
    EXPECT_EQ(QDir(PLATFORM::TempFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileInstallerTest,
    testing::Values(
        // A view of its own beside plain tables does no harm.
        HostileCase{"ExtraViewIsHarmless", "create view extra as select name from files;", false, 0},
        HostileCase{"FilesIsAnEndlessView",
                    "alter table files rename to stored;"
                    "create view files as with recursive r(n) as (select 1 union all select n+1 from r) "
                    "select s.* from r join stored s on s.name='never';",
                    false, 2},
        HostileCase{"FilesMissing", "alter table files rename to stored;", false, 2},
        // The installer reads no config row, so a package without one installs.
        HostileCase{"ConfigMissing", "drop table config;", false, 0},
        HostileCase{"ConfigIsAView",
                    "drop table config;create view config as select 1 as ID, 2 as strValue, 3 as intValue;",
                    false, 2},
        HostileCase{"DamagedResourceDirectory", "", true, 2}),
    TESTS::CaseName());

// A link whose target holds a control character is left out and said; the
// other links are written, their texts without raw control characters.
TEST(HostileShortcutTest, TargetWithControlCharacterIsSkippedAndReported)
{
    const QString installer = E2E::SampleInstaller(QStringLiteral("controls"), [](QByteArray& manifest) {
        manifest.replace(
            "<shortcut>",
            "<shortcut>\n\t\t<link path=\"$intallpath$\\Label&#27;Cloud\" name=\"Bad\" type=\"other\" "
            "lnk=\"Bad.lnk\"/>\n\t\t<link path=\"$intallpath$\\LabelCloud\" "
            "name=\"Red&#27;[31m alarm\" type=\"other\" lnk=\"Alarm.lnk\"/>");
    });
    const RunResult r = RunProgram(installer, {QStringLiteral("-silent")});
    ASSERT_EQ(r.exitCode, 0) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("快捷方式“Bad.lnk”的目标含有控制字符，因此没有创建。")))
        << Show(r);

    const QString menu = PLATFORM::ProgramsMenuFolder() + QStringLiteral("Tessaly Label Print & Share/");
    EXPECT_FALSE(QFileInfo::exists(menu + QStringLiteral("Bad.desktop")));
    const QByteArray alarm = TESTS::ReadFileBytes(menu + QStringLiteral("Alarm.desktop"));
    EXPECT_TRUE(alarm.contains("Comment=Red[31m alarm\n")) << alarm.toStdString();
    EXPECT_TRUE(QFileInfo::exists(menu + QStringLiteral("Uninstall Tessaly Label Print.desktop")));
}

}  // namespace
