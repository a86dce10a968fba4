// The sample product's real installer, made with norvex-pack, run unattended
// in the sandbox root: install, repair, upgrade by text comparison of
// versions, removal through the installed uninstall.exe, start-up failure.
#include "SampleRuns.h"

#include "common/MessageTable.h"
#include "engine/RegistryHelpers.h"
#include "platform/Registry.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;

const QString kTitle = QStringLiteral("Tessaly Label Print & Share");
const QString kProductKey = QStringLiteral("Software\\Tessaly\\LabelPrint");
const QString kUninstallKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LabelPrint");

using E2E::RunProgram;
using E2E::RunResult;
using E2E::Show;

class UnattendedRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        installer = TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup"));
        TESTS::WriteFileBytes(installer, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_INSTALLER)));
        QFile::setPermissions(installer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        installFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/");
        dataFolder = PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/LabelPrint/");
        menuFolder = PLATFORM::ProgramsMenuFolder() + kTitle + u'/';
    }

    // The sample installer again, with another version in its manifest.
    static QString InstallerWithVersion(const QString& version)
    {
        return E2E::SampleInstaller(version, [&](QByteArray& manifest) {
            manifest.replace("ver=\"1.0.0\"/>\n\t<info>", "ver=\"" + version.toUtf8() + "\"/>\n\t<info>");
        });
    }

    RunResult Install(const QString& program, const QStringList& more = {})
    {
        RunResult r = RunProgram(program, QStringList{QStringLiteral("-silent")} + more);
        EXPECT_EQ(r.exitCode, 0) << Show(r);
        return r;
    }

    static QStringList TempFiles()
    {
        QStringList files;
        const QString temp = PLATFORM::TempFolder();
        for (const QFileInfo& f : QDir(temp).entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
            files << f.fileName();
        return files;
    }

    static QString ModeLine(int id)
    {
        return QString::fromUtf16(GetText(id)).replace(QStringLiteral("%s"), kTitle);
    }

    static void ExpectValidDesktopEntry(const QString& path)
    {
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {path});
        ASSERT_TRUE(validate.waitForFinished(60000));
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }

    QString installer;
    QString installFolder;
    QString dataFolder;
    QString menuFolder;
};

TEST_F(UnattendedRunTest, InstallsTheSampleProduct)
{
    SetSystemLanguageId(kLangChinesePrc);
    const RunResult r = Install(installer);
    ASSERT_FALSE(r.out.isEmpty());
    EXPECT_EQ(r.out.first(), ModeLine(1301));
    // The room needed and free, then one line per step, ending at 100 %.
    EXPECT_EQ(r.out.size(), 7) << Show(r);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^需要 [0-9.]+ [KMGT]B / 可用 [0-9.]+ [KMGT]?B$"))
                    .match(r.out[1])
                    .hasMatch())
        << Show(r);
    EXPECT_TRUE(r.out.last().startsWith(QStringLiteral("100% | 正在创建卸载信息 ...")));
    EXPECT_FALSE(r.err.contains(QString::fromUtf16(GetText(1106))));

    // The product runs from its folder.
    QProcess product;
    product.start(installFolder + QStringLiteral("LabelPrint"),
                  {dataFolder + QStringLiteral("Templates/sample.tlp")});
    ASSERT_TRUE(product.waitForFinished(60000));
    EXPECT_TRUE(product.readAllStandardOutput().startsWith("Tessaly Label Print 1.0.0\n+---"));
    EXPECT_EQ(TESTS::ReadFileBytes(installFolder + QStringLiteral("uninstall.exe")),
              TESTS::ReadFileBytes(QStringLiteral(NORVEX_SETUP_EXE)));
    EXPECT_TRUE(QFileInfo(installFolder + QStringLiteral("uninstall.exe")).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(installFolder + QStringLiteral("doc/README.txt")));
    EXPECT_TRUE(QFileInfo::exists(installFolder + QStringLiteral("uninstall.xml")));

    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("InstallPath")),
              installFolder);
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("Version")),
              QStringLiteral("1.0.0"));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey + QStringLiteral("\\Settings"),
                             QStringLiteral("Templates")),
              dataFolder + QStringLiteral("Templates/"));
    EXPECT_EQ(RegQueryString(RegRoot::ClassesRoot, QStringLiteral(".tlp"), QString()),
              QStringLiteral("Tessaly.LabelPrint"));
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kUninstallKey, QStringLiteral("UninstallString")),
              installFolder + QStringLiteral("uninstall.exe"));
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kUninstallKey, QStringLiteral("DisplayIcon")),
              installFolder + QStringLiteral("LabelPrint"));

    // Menu entries, and the desktop copy the shortcut page ticks by default.
    ExpectValidDesktopEntry(menuFolder + QStringLiteral("Tessaly Label Print.desktop"));
    ExpectValidDesktopEntry(menuFolder + QStringLiteral("Uninstall Tessaly Label Print.desktop"));
    ExpectValidDesktopEntry(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop"));
    EXPECT_EQ(TempFiles(), QStringList());
}

TEST_F(UnattendedRunTest, PathArgumentChoosesTheFolderOfAFirstInstallation)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("apps/labels"));
    Install(installer, {folder});
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/LabelPrint")));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("InstallPath")),
              folder + u'/');
    EXPECT_FALSE(QFileInfo::exists(installFolder));
}

// Versions compare as text: 1.10.0 is older than 1.9.0. A repair writes the
// package's version, whatever it is.
TEST_F(UnattendedRunTest, RunsAgainAsRepairOrUpgrade)
{
    SetSystemLanguageId(kLangChinesePrc);
    Install(installer);
    const struct {
        const char* version;
        int title;
        const char* installedAfter;
    } steps[] = {
        {"1.0.0", 1501, "1.0.0"}, {"1.9.0", 1401, "1.9.0"}, {"1.10.0", 1501, "1.10.0"},
        {"1.9.0", 1401, "1.9.0"}, {"1.9.0", 1501, "1.9.0"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.version);
        QFile::remove(installFolder + QStringLiteral("LabelPrint"));
        const RunResult r = Install(InstallerWithVersion(QString::fromLatin1(s.version)));
        ASSERT_FALSE(r.out.isEmpty());
        EXPECT_EQ(r.out.first(), ModeLine(s.title));
        // Both procedures put the files back.
        EXPECT_TRUE(QFileInfo::exists(installFolder + QStringLiteral("LabelPrint")));
        EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, QStringLiteral("Version")),
                  QString::fromLatin1(s.installedAfter));
        EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kUninstallKey, QStringLiteral("DisplayVersion")),
                  QString::fromLatin1(s.installedAfter));
        EXPECT_EQ(TempFiles(), QStringList());
    }
}

TEST_F(UnattendedRunTest, RemovesThroughTheInstalledUninstaller)
{
    SetSystemLanguageId(kLangChinesePrc);
    Install(installer);
    const RunResult r =
        RunProgram(installFolder + QStringLiteral("uninstall.exe"), {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 0) << Show(r);
    ASSERT_FALSE(r.out.isEmpty());
    EXPECT_EQ(r.out.first(), ModeLine(1601));
    EXPECT_TRUE(r.out.last().startsWith(QStringLiteral("100% | 正在移除快捷方式 ...")));

    EXPECT_FALSE(QFileInfo::exists(installFolder));
    EXPECT_FALSE(QFileInfo::exists(menuFolder));
    EXPECT_FALSE(
        QFileInfo::exists(PLATFORM::DesktopFolder() + QStringLiteral("Tessaly Label Print.desktop")));
    for (const auto& [root, key] :
         {std::pair{RegRoot::CurrentUser, kProductKey + QStringLiteral("\\Settings")},
          std::pair{RegRoot::ClassesRoot, QStringLiteral(".tlp")},
          std::pair{RegRoot::ClassesRoot, QStringLiteral("Tessaly.LabelPrint")},
          std::pair{RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Tessaly\\LabelPrint")},
          std::pair{RegRoot::LocalMachine, kUninstallKey}}) {
        EXPECT_FALSE(CRegistry::KeyExists(root, key)) << key.toStdString();
    }
    // Only the per-user key with empty location values stays, and the data.
    QStringList subkeys;
    QList<PLATFORM::RegValue> values;
    ASSERT_EQ(CRegistry::EnumKey(RegRoot::CurrentUser, kProductKey, &subkeys, &values),
              PLATFORM::RegStatus::Ok);
    EXPECT_EQ(subkeys, QStringList());
    for (const auto& name : {QStringLiteral("InstallPath"), QStringLiteral("Version")})
        EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kProductKey, name), QString());
    EXPECT_TRUE(QFileInfo::exists(dataFolder + QStringLiteral("Templates/sample.tlp")));
    EXPECT_EQ(TempFiles(), QStringList());

    // Nothing is installed any more: the next run is a first installation.
    const RunResult again = Install(installer);
    ASSERT_FALSE(again.out.isEmpty());
    EXPECT_EQ(again.out.first(), ModeLine(1301));
}

TEST_F(UnattendedRunTest, DamagedPackageIsAStartupFailure)
{
    QByteArray bytes = TESTS::ReadFileBytes(installer);
    const QByteArray templ = TESTS::ReadFileBytes(QStringLiteral(NORVEX_SETUP_EXE));
    // A byte inside the attached package, well past the template.
    bytes[templ.size() + 3000] = char(bytes[templ.size() + 3000] ^ 0x55);
    TESTS::WriteFileBytes(installer, bytes);
    const RunResult r = RunProgram(installer, {QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 2) << Show(r);
    EXPECT_TRUE(r.err.contains(QStringLiteral("安装程序无法加载安装数据，请重新下载安装程序后重试！")))
        << Show(r);
    EXPECT_FALSE(QFileInfo::exists(installFolder));
    EXPECT_EQ(TempFiles(), QStringList());
}

}  // namespace
