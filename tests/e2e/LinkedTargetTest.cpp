// A repair over an installation where a file it writes has become a symbolic
// link to a file elsewhere: the link is replaced by a regular file and the
// file it pointed at keeps its bytes and its mode.
#include "SampleRuns.h"

#include "support/CaseName.h"

#include "platform/SpecialFolders.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::Show;

struct LinkedCase {
    const char* name;
    QString (*path)();  // the file the repair writes
    const char* holds;  // what the written file holds
};

void PrintTo(const LinkedCase& c, std::ostream* os)
{
    *os << c.name;
}

class LinkedTargetTest : public testing::TestWithParam<LinkedCase> {};

TEST_P(LinkedTargetTest, IsReplacedNotWrittenThrough)
{
    const QString installer =
        E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
    const RunResult installed = RunProgram(installer, {QStringLiteral("-silent")});
    ASSERT_EQ(installed.exitCode, 0) << Show(installed);

    const QString path = GetParam().path();
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    const QString outside = TESTS::SandboxPath(QStringLiteral("elsewhere/precious.txt"));
    const QByteArray bytes = "not the installer's\n";
    TESTS::WriteFileBytes(outside, bytes);
    ASSERT_TRUE(QFile::setPermissions(outside, QFile::ReadOwner | QFile::WriteOwner));
    const QFile::Permissions mode = QFileInfo(outside).permissions();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(outside, path));

    const RunResult repaired = RunProgram(installer, {QStringLiteral("-silent")});
    EXPECT_EQ(repaired.exitCode, 0) << Show(repaired);
    EXPECT_EQ(TESTS::ReadFileBytes(outside), bytes);
    EXPECT_EQ(QFileInfo(outside).permissions(), mode);
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_TRUE(TESTS::ReadFileBytes(path).contains(GetParam().holds));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkedTargetTest,
    testing::Values(
        LinkedCase{"UninstallManifest",
                   [] {
                       return PLATFORM::ProgramFilesFolder()
                           + QStringLiteral("Tessaly/LabelPrint/uninstall.xml");
                   },
                   "<install"},
        LinkedCase{"MenuEntry",
                   [] {
                       return PLATFORM::ProgramsMenuFolder()
                           + QStringLiteral("Tessaly Label Print & Share/Tessaly Label Print.desktop");
                   },
                   "[Desktop Entry]"},
        // The desktop copy also gets the run bit: never on the outside file.
        LinkedCase{"DesktopCopy",
                   [] { return PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop"); },
                   "[Desktop Entry]"}),
    TESTS::CaseName());

}  // namespace
