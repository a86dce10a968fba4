// Removal takes only what the installation put there, and start-up refuses
// product names that would point removal at other folders: real installers,
// unattended, in the sandbox root.
#include "SampleRuns.h"

#include "engine/RegistryHelpers.h"
#include "platform/Registry.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using E2E::RunProgram;
using E2E::RunResult;
using E2E::Show;
using PLATFORM::RegRoot;

const QString kProductKey = QStringLiteral("Software\\Tessaly\\LabelPrint");
const QString kMainLink = QStringLiteral("Tessaly Label Print.desktop");

QString SampleInstaller()
{
    const QString installer = TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"));
    TESTS::WriteFileBytes(installer, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_INSTALLER)));
    QFile::setPermissions(installer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return installer;
}

RunResult Uninstall(const QString& folder)
{
    return RunProgram(folder + QStringLiteral("uninstall.exe"), {QStringLiteral("-silent")});
}

// The user's file beside the installation and the folder that held it stay;
// everything the installation wrote goes.
TEST(SafeRemoval, FolderThatHeldFilesKeepsThem)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("home/Documents/"));
    TESTS::WriteFileBytes(folder + QStringLiteral("thesis.txt"), "years of work");
    TESTS::WriteFileBytes(folder + QStringLiteral("doc/notes.txt"), "mine too");
    // Empty folders of the user's are the user's too.
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("photos/2019")));
    const RunResult installed = RunProgram(SampleInstaller(), {QStringLiteral("-silent"), folder});
    ASSERT_EQ(installed.exitCode, 0) << Show(installed);
    ASSERT_TRUE(QFileInfo::exists(folder + QStringLiteral("LabelPrint")));

    const RunResult removed = Uninstall(folder);
    EXPECT_EQ(removed.exitCode, 0) << Show(removed);
    EXPECT_TRUE(removed.err.contains(QStringLiteral("在安装前就已存在"))) << Show(removed);
    EXPECT_TRUE(removed.err.contains(QDir::cleanPath(folder))) << Show(removed);
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("thesis.txt")), "years of work");
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("doc/notes.txt")), "mine too");
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("photos/2019")).isDir());
    for (const char* gone : {"LabelPrint", "doc/README.txt", "uninstall.exe", "uninstall.xml"})
        EXPECT_FALSE(QFileInfo::exists(folder + QString::fromLatin1(gone))) << gone;
}

// Folders the installation made go whole, wherever they are; so does the
// default folder.
TEST(SafeRemoval, FolderTheInstallationMadeGoesWhole)
{
    const QString installer = SampleInstaller();
    const struct {
        QString folder;
        QStringList arguments;
    } cases[] = {
        {TESTS::SandboxPath(QStringLiteral("apps/labels/")),
         {TESTS::SandboxPath(QStringLiteral("apps/labels"))}},
        {PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        const RunResult installed =
            RunProgram(installer, QStringList{QStringLiteral("-silent")} + c.arguments);
        ASSERT_EQ(installed.exitCode, 0) << Show(installed);
        // What the product wrote later into its own folder goes with it.
        TESTS::WriteFileBytes(c.folder + QStringLiteral("cache/run.log"), "x");
        const RunResult removed = Uninstall(c.folder);
        EXPECT_EQ(removed.exitCode, 0) << Show(removed);
        EXPECT_FALSE(QFileInfo::exists(c.folder));
        EXPECT_TRUE(QFileInfo(QDir::cleanPath(c.folder + QStringLiteral(".."))).isDir());
    }
}

// A folder that became a link, or whose contents cannot be deleted, is
// reported as kept and the run fails; nothing is deleted through the link.
TEST(SafeRemoval, LinkedFolderIsKeptAndReported)
{
    const QString real = TESTS::SandboxPath(QStringLiteral("elsewhere/labels/"));
    const RunResult installed = RunProgram(SampleInstaller(), {QStringLiteral("-silent"), real});
    ASSERT_EQ(installed.exitCode, 0) << Show(installed);
    // The recorded folder now is a link to the real one.
    const QString recorded = RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("InstallPath"));
    const QString link = TESTS::SandboxPath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(QDir::cleanPath(real), link));
    ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kProductKey, link + u'/', QStringLiteral("InstallPath")));

    const RunResult removed = Uninstall(real);
    EXPECT_EQ(removed.exitCode, 1) << Show(removed);
    EXPECT_TRUE(removed.err.contains(QStringLiteral("符号链接"))) << Show(removed);
    for (const char* kept : {"LabelPrint", "doc/README.txt", "uninstall.exe", "uninstall.xml"})
        EXPECT_TRUE(QFileInfo::exists(real + QString::fromLatin1(kept))) << kept;
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(recorded, real);
}

// Without a recorded folder (a damaged or missing key) removal works on the
// folder of the uninstall.xml it loaded, under the same guard.
TEST(SafeRemoval, WithoutRecordedFolderUsesTheManifestsFolder)
{
    const QString installer = SampleInstaller();
    const QString folder = TESTS::SandboxPath(QStringLiteral("home/Work/"));
    TESTS::WriteFileBytes(folder + QStringLiteral("plan.txt"), "keep");
    const struct {
        QString folder;
        QStringList arguments;
        bool folderStays;
    } cases[] = {
        {PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/"), {}, false},
        // Nothing says the installation made this one: only its files go.
        {folder, {folder}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        const RunResult installed =
            RunProgram(installer, QStringList{QStringLiteral("-silent")} + c.arguments);
        ASSERT_EQ(installed.exitCode, 0) << Show(installed);
        ASSERT_TRUE(RegDeleteTree(RegRoot::CurrentUser, kProductKey));
        const RunResult removed = Uninstall(c.folder);
        EXPECT_EQ(removed.exitCode, 0) << Show(removed);
        EXPECT_EQ(QFileInfo::exists(c.folder), c.folderStays);
        EXPECT_FALSE(QFileInfo::exists(c.folder + QStringLiteral("LabelPrint")));
    }
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("plan.txt")), "keep");
}

// The Startup copy goes although the saved uninstall.xml does not say autostart.
TEST(SafeRemoval, AutostartEntryGoesWithTheProduct)
{
    const QString installer = E2E::SampleInstaller(QStringLiteral("autostart"), [](QByteArray& manifest) {
        manifest.replace("<autostart>0</autostart>", "<autostart>1</autostart>");
    });
    const RunResult installed = RunProgram(installer, {QStringLiteral("-silent")});
    ASSERT_EQ(installed.exitCode, 0) << Show(installed);
    const QString startup = PLATFORM::StartupFolder() + kMainLink;
    ASSERT_TRUE(QFileInfo::exists(startup));
    const RunResult removed =
        Uninstall(PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/"));
    EXPECT_EQ(removed.exitCode, 0) << Show(removed);
    EXPECT_FALSE(QFileInfo::exists(startup));
}

// A product name that is not one safe name is refused before anything is
// written; a title that is not one is only the menu folder's name, so the
// menu folder falls back to the product's name.
TEST(SafeRemoval, UnsafeProductNamesAreRefusedAtStartup)
{
    const char* names[] = {"", ".", "..", "../../var", "a/b", "..\\x", "Lab&#9;X"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const QString installer =
            E2E::SampleInstaller(QString::number(qHash(QByteArray(name))), [&](QByteArray& manifest) {
                manifest.replace("<prog>LabelPrint</prog>", "<prog>" + QByteArray(name) + "</prog>");
            });
        const RunResult r = RunProgram(installer, {QStringLiteral("-silent")});
        EXPECT_EQ(r.exitCode, 2) << Show(r);
        EXPECT_TRUE(r.err.contains(QStringLiteral("安装程序无法加载安装数据"))) << Show(r);
        EXPECT_FALSE(QFileInfo::exists(PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly")));
        EXPECT_FALSE(QFileInfo::exists(PLATFORM::UserHivePath()));
    }
}

TEST(SafeRemoval, UnsafeTitleNamesTheMenuFolderAfterTheProduct)
{
    const char* titles[] = {"Input/Output Lab", "..", "../../Desktop"};
    for (const char* title : titles) {
        SCOPED_TRACE(title);
        const QString installer =
            E2E::SampleInstaller(QString::number(qHash(QByteArray(title))), [&](QByteArray& manifest) {
                manifest.replace("prog=\"Tessaly Label Print &amp; Share\"",
                                 "prog=\"" + QByteArray(title) + "\"");
            });
        const RunResult installed = RunProgram(installer, {QStringLiteral("-silent")});
        ASSERT_EQ(installed.exitCode, 0) << Show(installed);
        const QString menu = PLATFORM::ProgramsMenuFolder() + QStringLiteral("LabelPrint/");
        EXPECT_TRUE(QFileInfo::exists(menu + kMainLink));
        const RunResult removed =
            Uninstall(PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/"));
        EXPECT_EQ(removed.exitCode, 0) << Show(removed);
        EXPECT_FALSE(QFileInfo::exists(menu));
        // Nothing else in the menu folder, and nothing outside it.
        EXPECT_EQ(QDir(PLATFORM::ProgramsMenuFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList());
    }
}

}  // namespace
