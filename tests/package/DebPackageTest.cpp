// The Debian package: what it holds, what it depends on, what lintian says,
// and the tools run from a throwaway root it was unpacked into.
#include "support/Process.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>

namespace {

const QString kDeb = QStringLiteral(NORVEX_DEB_FILE);

using TESTS::ProcessResult;

ProcessResult RunTool(const QString& program, const QStringList& arguments,
                      const QStringList& environment = {})
{
    return TESTS::RunProcess(program, arguments, environment);
}

// The package unpacked below the sandbox, as dpkg would install it.
QString Unpacked()
{
    const QString root = TESTS::SandboxPath(QStringLiteral("debroot"));
    if (!QFileInfo::exists(root)) {
        const ProcessResult r = RunTool(QStringLiteral("dpkg"), {QStringLiteral("-x"), kDeb, root});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    return root;
}

TEST(DebPackage, IsNamedAfterTheProjectAndItsVersion)
{
    EXPECT_EQ(QFileInfo(kDeb).fileName(),
              QStringLiteral("norvex-setup_%1_amd64.deb").arg(QStringLiteral(NORVEX_VERSION)));
    EXPECT_TRUE(QFileInfo(kDeb).isFile()) << kDeb.toStdString();
}

TEST(DebPackage, HoldsTheToolsTheTemplateThePagesAndTheDesktopEntry)
{
    const std::map<QString, QString> expected = {
        {"./usr/bin/norvex-pack", "-rwxr-xr-x"},
        {"./usr/bin/norvex-reg", "-rwxr-xr-x"},
        {"./usr/lib/norvex-setup/norvexsetup", "-rwxr-xr-x"},
        {"./usr/share/man/man1/norvex-pack.1.gz", "-rw-r--r--"},
        {"./usr/share/man/man1/norvex-reg.1.gz", "-rw-r--r--"},
        {"./usr/share/man/man1/norvexsetup.1.gz", "-rw-r--r--"},
        {"./usr/share/applications/norvex-setup.desktop", "-rw-r--r--"},
        {"./usr/share/icons/hicolor/scalable/apps/norvex-setup.svg", "-rw-r--r--"},
        {"./usr/share/doc/norvex-setup/copyright", "-rw-r--r--"},
        {"./usr/share/doc/norvex-setup/changelog.gz", "-rw-r--r--"},
    };
    const ProcessResult r = RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), kDeb});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    std::map<QString, QString> files;
    for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        ASSERT_GE(fields.size(), 6) << line.toStdString();
        EXPECT_EQ(fields[1], QStringLiteral("root/root")) << line.toStdString();
        if (!fields[0].startsWith(u'd'))
            files[fields[5]] = fields[0];
    }
    EXPECT_EQ(files, expected);
}

TEST(DebPackage, DependsOnTheLibrariesItLinks)
{
    const ProcessResult r =
        RunTool(QStringLiteral("dpkg-deb"),
                {QStringLiteral("--field"), kDeb, QStringLiteral("Package"), QStringLiteral("Version"),
                 QStringLiteral("Architecture"), QStringLiteral("Depends")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Package: norvex-setup\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Version: %1\n").arg(QStringLiteral(NORVEX_VERSION))));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Architecture: amd64\n")));
    // Computed by dpkg-shlibdeps, with versions.
    for (const char* library :
         {"libc6 (>=", "libqt6core6 (>=", "libsqlite3-0 (>=", "zlib1g (>=", "libpugixml1v5 (>=", "libxcb1"})
        EXPECT_TRUE(r.out.contains(QLatin1String(library))) << library << "\n" << r.out.toStdString();
    // The template carries the wizard.
    EXPECT_TRUE(r.out.contains(QStringLiteral("libqt6widgets6"))) << r.out.toStdString();
}

TEST(DebPackage, LintianFindsNoErrorAndTheReadmeExplainsEveryWarning)
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty())
        GTEST_SKIP() << "lintian is not installed (scripts/setup.sh installs it)";
    const ProcessResult r = RunTool(QStringLiteral("lintian"),
                                    {QStringLiteral("--fail-on"), QStringLiteral("error"),
                                     QStringLiteral("--no-tag-display-limit"), kDeb});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QString readme = QString::fromUtf8(TESTS::ReadFileBytes(QStringLiteral(NORVEX_README)));
    static const QRegularExpression tagLine(QStringLiteral("^([EW]): norvex-setup: ([a-z0-9.+-]+)"),
                                            QRegularExpression::MultilineOption);
    for (auto match = tagLine.globalMatch(r.out); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        EXPECT_NE(m.captured(1), QStringLiteral("E")) << m.captured(0).toStdString();
        EXPECT_TRUE(readme.contains(m.captured(2)))
            << "README does not explain " << m.captured(2).toStdString();
    }
}

TEST(DebPackage, DesktopEntryIsValid)
{
    const QString entry = Unpacked() + QStringLiteral("/usr/share/applications/norvex-setup.desktop");
    const ProcessResult r = RunTool(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out + r.err, QString());
}

// A product made with nothing but the unpacked package: init, a build and an
// attach that find the installed template themselves, and the installer then
// installs the product.
TEST(DebPackage, ToolsRunFromAThrowawayRoot)
{
    const QString root = Unpacked();
    const QString pack = root + QStringLiteral("/usr/bin/norvex-pack");
    ProcessResult r = RunTool(pack, {QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("init"))) << r.out.toStdString();

    const QString product = TESTS::SandboxPath(QStringLiteral("product"));
    TESTS::WriteFileBytes(product + QStringLiteral("/hello"), "#!/bin/sh\necho hello\n");
    TESTS::WriteFileBytes(product + QStringLiteral("/doc/read me.txt"), "read me\n");
    const QString manifest = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    const QString package = TESTS::SandboxPath(QStringLiteral("hello.cab"));
    const QString installer = TESTS::SandboxPath(QStringLiteral("HelloSetup"));
    r = RunTool(pack,
                {QStringLiteral("init"), QStringLiteral("--source"), product, QStringLiteral("--prog"),
                 QStringLiteral("Hello"), QStringLiteral("--title"), QStringLiteral("Hello World"),
                 QStringLiteral("--version"), QStringLiteral("1.0"), QStringLiteral("-o"), manifest});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunTool(pack,
                {QStringLiteral("build"), QStringLiteral("--manifest"), manifest, QStringLiteral("--source"),
                 product, QStringLiteral("-o"), package});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunTool(
        pack,
        {QStringLiteral("attach"), QStringLiteral("--package"), package, QStringLiteral("-o"), installer});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = RunTool(pack, {QStringLiteral("verify"), QStringLiteral("--quiet"), installer});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();

    const QStringList environment{QStringLiteral("NORVEX_SCOPE=user"), QStringLiteral("DISPLAY"),
                                  QStringLiteral("LC_ALL=C")};
    r = RunTool(installer, {QStringLiteral("-silent")}, environment);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QString folder = TESTS::SandboxPath(QStringLiteral("home/.local/opt/Tessaly/Hello/"));
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("doc/read me.txt")), QByteArray("read me\n"));
    // The uninstaller is the installed template itself.
    EXPECT_EQ(TESTS::ReadFileBytes(folder + QStringLiteral("uninstall.exe")),
              TESTS::ReadFileBytes(root + QStringLiteral("/usr/lib/norvex-setup/norvexsetup")));
    r = RunTool(root + QStringLiteral("/usr/bin/norvex-reg"),
                {QStringLiteral("query"), QStringLiteral("HKCU\\Software\\Tessaly\\Hello"),
                 QStringLiteral("--value"), QStringLiteral("Version")},
                environment);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("1.0"));
}

}  // namespace
