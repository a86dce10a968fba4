// norvex-pack init on folders as products ship them: subfolders, spaces and
// non-ASCII names listed in the saved form, packed unchanged by build and put
// in place by an unattended install; every name the installer would refuse
// listed at once.
#include "support/CaseName.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include "manifest/InstallInfo.h"
#include "pack/ManifestGenerator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kPackExe = QStringLiteral(NORVEX_PACK_EXE);
const QString kSetupExe = QStringLiteral(NORVEX_SETUP_EXE);
const char kElfBytes[] =
    "\x7f"
    "ELF\x02\x01\x01 a program";
const QByteArray kElf(kElfBytes, sizeof kElfBytes - 1);

using TESTS::ProcessResult;

ProcessResult Pack(const QStringList& arguments)
{
    return TESTS::RunProcess(kPackExe, arguments, {QStringLiteral("SOURCE_DATE_EPOCH")});
}

// A file under the sandbox by raw bytes, so names that are not UTF-8 can be made.
void MakeFile(const QByteArray& relative, const QByteArray& content)
{
    const QByteArray path = QFile::encodeName(TESTS::SandboxRoot()) + '/' + relative;
    const qsizetype slash = path.lastIndexOf('/');
    QDir().mkpath(QFile::decodeName(path.left(slash)));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
}

struct FixtureFile {
    const char* relative;  // below the product folder, UTF-8
    QByteArray content;
    const char* path;  // expected manifest path
    const char* pack;  // expected pack name
};

// In the order init lists them: each folder's files by name, then its subfolders.
const FixtureFile kProduct[] = {
    {"LabelTool", kElf, "$intallpath$\\", "LabelTool"},
    {"read me.txt", "Read me first.\n", "$intallpath$\\", "read me.txt"},
    {"bin/helper.sh", "#!/bin/sh\necho helper\n", "$intallpath$\\bin\\", "bin\\helper.sh"},
    {"data sets/模板 1.dat", QByteArray(3000, 'x'), "$intallpath$\\data sets\\", "data sets\\模板 1.dat"},
    {"doc/用户手册.txt", "手册\n", "$intallpath$\\doc\\", "doc\\用户手册.txt"},
    {"doc/guides/first steps.html", "<p>first</p>\n", "$intallpath$\\doc\\guides\\",
     "doc\\guides\\first steps.html"},
};

QString ProductFolder()
{
    return TESTS::SandboxPath(QStringLiteral("product"));
}

void MakeProduct()
{
    for (const FixtureFile& file : kProduct)
        MakeFile(QByteArray("product/") + file.relative, file.content);
}

QStringList InitArguments(const QString& output)
{
    return {QStringLiteral("init"),
            QStringLiteral("--source"),
            ProductFolder(),
            QStringLiteral("--prog"),
            QStringLiteral("LabelTool"),
            QStringLiteral("--title"),
            QStringLiteral("Label Tool"),
            QStringLiteral("--version"),
            QStringLiteral("2.1.0"),
            QStringLiteral("--company"),
            QStringLiteral("Tessaly Software"),
            QStringLiteral("--help-url"),
            QStringLiteral("https://example.com/help"),
            QStringLiteral("-o"),
            output};
}

TEST(PackInit, ListsEveryFileInTheSavedForm)
{
    MakeProduct();
    const QString manifestPath = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    const ProcessResult r = Pack(InitArguments(manifestPath));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    CInstallInfo manifest;
    ASSERT_TRUE(manifest.Load(manifestPath));
    EXPECT_EQ(manifest.version.prog, QStringLiteral("Label Tool"));
    EXPECT_EQ(manifest.version.ver, QStringLiteral("2.1.0"));
    EXPECT_EQ(manifest.info.prog, QStringLiteral("LabelTool"));
    EXPECT_EQ(manifest.info.company, QStringLiteral("Tessaly Software"));
    EXPECT_EQ(manifest.info.help, QStringLiteral("https://example.com/help"));
    EXPECT_TRUE(manifest.registry.empty());

    ASSERT_EQ(manifest.files.size(), std::size(kProduct) + 1);
    auto entry = manifest.files.begin();
    for (const FixtureFile& file : kProduct) {
        SCOPED_TRACE(file.relative);
        EXPECT_EQ(entry->name, QFileInfo(QString::fromUtf8(file.relative)).fileName());
        EXPECT_EQ(entry->path, QString::fromUtf8(file.path));
        EXPECT_EQ(entry->pack, QString::fromUtf8(file.pack));
        EXPECT_EQ(entry->action, QString());
        ++entry;
    }
    EXPECT_EQ(entry->name, QStringLiteral("uninstall.exe"));
    EXPECT_EQ(entry->path, QStringLiteral("$intallpath$\\"));
    EXPECT_EQ(entry->pack, QStringLiteral("norvexsetup"));
    EXPECT_EQ(entry->action, QStringLiteral("setup"));

    ASSERT_EQ(manifest.shortcut.size(), 2u);
    EXPECT_EQ(manifest.shortcut.front().path, QStringLiteral("$intallpath$\\LabelTool"));
    EXPECT_EQ(manifest.shortcut.front().type, QStringLiteral("mainprog"));
    EXPECT_EQ(manifest.shortcut.front().lnk, QStringLiteral("Label Tool.lnk"));
    EXPECT_EQ(manifest.shortcut.back().path, QStringLiteral("$intallpath$\\uninstall.exe"));
    EXPECT_EQ(manifest.shortcut.back().type, QStringLiteral("uninstall"));
    EXPECT_EQ(manifest.shortcut.back().lnk, QStringLiteral("Uninstall Label Tool.lnk"));

    // The saved form: what the installer itself writes as uninstall.xml.
    QString saved;
    ASSERT_TRUE(manifest.SaveXml(saved, QStringLiteral("install"), true, WriteManifest, &manifest));
    const QByteArray bytes = TESTS::ReadFileBytes(manifestPath);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
    EXPECT_EQ(QString::fromUtf8(bytes.mid(bytes.indexOf("<install"))).trimmed(), saved.trimmed());
}

TEST(PackInit, BuildPacksItUnchangedAndAnUnattendedInstallPutsEveryFileInPlace)
{
    MakeProduct();
    const QString manifestPath = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    const QString package = TESTS::SandboxPath(QStringLiteral("product.cab"));
    const QString installer = TESTS::SandboxPath(QStringLiteral("dl/LabelToolSetup"));
    QDir().mkpath(TESTS::SandboxPath(QStringLiteral("dl")));
    ProcessResult r = Pack(InitArguments(manifestPath));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QByteArray manifestBefore = TESTS::ReadFileBytes(manifestPath);
    r = Pack({QStringLiteral("build"), QStringLiteral("--manifest"), manifestPath, QStringLiteral("--source"),
              ProductFolder(), QStringLiteral("--template"), kSetupExe, QStringLiteral("-o"), package});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(TESTS::ReadFileBytes(manifestPath), manifestBefore);
    r = Pack({QStringLiteral("verify"), QStringLiteral("--quiet"), package});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    r = Pack({QStringLiteral("attach"), QStringLiteral("--template"), kSetupExe, QStringLiteral("--package"),
              package, QStringLiteral("-o"), installer});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    r = TESTS::RunProcess(
        installer, {QStringLiteral("-silent")},
        {QStringLiteral("NORVEX_SCOPE=user"), QStringLiteral("DISPLAY"), QStringLiteral("LC_ALL=C")});
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QString folder = TESTS::SandboxPath(QStringLiteral("home/.local/opt/Tessaly/LabelTool/"));
    for (const FixtureFile& file : kProduct) {
        SCOPED_TRACE(file.relative);
        EXPECT_EQ(TESTS::ReadFileBytes(folder + QString::fromUtf8(file.relative)), file.content);
    }
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("LabelTool")).isExecutable());
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("uninstall.exe")).isExecutable());
    const QString menu = TESTS::SandboxPath(QStringLiteral("home/.local/share/applications/Label Tool/"));
    EXPECT_TRUE(QFileInfo(menu + QStringLiteral("Label Tool.desktop")).isFile());
    EXPECT_TRUE(QFileInfo(menu + QStringLiteral("Uninstall Label Tool.desktop")).isFile());
}

struct BadName {
    QByteArray relative;  // raw bytes below the product folder
    const char* shown;    // how the refusal names it
    const char* reason;
};

TEST(PackInit, RefusesEveryUnusableNameAtOnceAndWritesNothing)
{
    const BadName bad[] = {
        {"back\\slash.txt", "\"back\\slash.txt\"", "path separator"},
        {"tab\there.txt", "\"tab\\x09here.txt\"", "control character (U+0009)"},
        {"sub/bell\x07.txt", "\"sub/bell\\x07.txt\"", "control character (U+0007)"},
        {"latin1-\xe9.txt", nullptr, "not valid UTF-8"},
        {"$intallpath$.txt", "\"$intallpath$.txt\"", "path macro"},
        {"Install.xml", "\"Install.xml\"", "installer's own"},
        {"doc/uninstall.exe", "\"doc/uninstall.exe\"", "installer's own"},
        {"one/readme.txt", "\"readme.txt\"", "several folders (one/readme.txt, two/readme.txt)"},
        {"two/readme.txt", nullptr, nullptr},
    };
    MakeFile("product/good.txt", "fine");
    for (const BadName& name : bad)
        MakeFile("product/" + name.relative, "x");
    ASSERT_EQ(::mkfifo(QFile::encodeName(ProductFolder() + QStringLiteral("/pipe")).constData(), 0644), 0);

    const QString manifestPath = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    const ProcessResult r = Pack(InitArguments(manifestPath));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(manifestPath));
    for (const BadName& name : bad) {
        if (!name.reason)
            continue;
        SCOPED_TRACE(name.relative.constData());
        const QStringList lines = r.err.split(u'\n');
        const bool found = std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
            return line.contains(QString::fromUtf8(name.reason))
                && (!name.shown || line.contains(QString::fromUtf8(name.shown)));
        });
        EXPECT_TRUE(found) << r.err.toStdString();
    }
    EXPECT_TRUE(r.err.contains(QStringLiteral("\"pipe\": not a regular file"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("good.txt")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("9 refused, nothing written"))) << r.err.toStdString();
}

struct OptionCase {
    const char* name;
    QStringList extra;  // replace the defaults
    int exitCode;
    const char* words;
};

void PrintTo(const OptionCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackInitOptions : public testing::TestWithParam<OptionCase> {};

TEST_P(PackInitOptions, AreCheckedBeforeTheFolder)
{
    const OptionCase& c = GetParam();
    MakeProduct();
    const QString manifestPath = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    QStringList arguments = InitArguments(manifestPath);
    for (qsizetype i = 0; i + 1 < c.extra.size(); i += 2) {
        const qsizetype at = arguments.indexOf(c.extra[i]);
        if (at >= 0 && c.extra[i + 1] == u"<drop>")
            arguments.remove(at, 2);
        else if (at >= 0)
            arguments[at + 1] = c.extra[i + 1];
        else
            arguments << c.extra[i] << c.extra[i + 1];
    }
    const ProcessResult r = Pack(arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.words))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(manifestPath));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackInitOptions,
    testing::Values(
        OptionCase{"ProgEmpty", {"--prog", ""}, 1, "--prog \"\": empty name"},
        OptionCase{"ProgDot", {"--prog", "."}, 1, "--prog \".\""},
        OptionCase{"ProgDotDot", {"--prog", ".."}, 1, "--prog \"..\""},
        OptionCase{"ProgWithSlash", {"--prog", "a/b"}, 1, "path separator"},
        OptionCase{"ProgWithBackslash", {"--prog", "a\\b"}, 1, "path separator"},
        OptionCase{"TitleEmpty", {"--title", ""}, 1, "--title: empty"},
        OptionCase{
            "TitleWithLineBreak", {"--title", "A\nB"}, 1, "--title: holds a control character (U+000A)"},
        OptionCase{
            "CompanyWithEscape", {"--company", "A\x1b[31m"}, 1, "--company: holds a control character"},
        OptionCase{"MainNotInTheFolder", {"--main", "nothere"}, 1, "--main \"nothere\": no such file"},
        OptionCase{"MainClimbingOut", {"--main", "../product/LabelTool"}, 1, "no such file"},
        OptionCase{"ProgMissing", {"--prog", "<drop>"}, 2, "are required"},
        OptionCase{"UnknownOption", {"--colour", "red"}, 2, "unknown option --colour"}),
    TESTS::CaseName());

struct MainCase {
    const char* name;
    std::vector<std::pair<QByteArray, QByteArray>> files;
    QString mainOption;
    QString expectedLink;  // empty: no mainprog link
    const char* warning;
};

void PrintTo(const MainCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackInitMain : public testing::TestWithParam<MainCase> {};

TEST_P(PackInitMain, LinksTheMainProgram)
{
    const MainCase& c = GetParam();
    for (const auto& [relative, content] : c.files)
        MakeFile("product/" + relative, content);
    const QString manifestPath = TESTS::SandboxPath(QStringLiteral("Install.xml"));
    QStringList arguments = InitArguments(manifestPath);
    if (!c.mainOption.isEmpty())
        arguments << QStringLiteral("--main") << c.mainOption;
    const ProcessResult r = Pack(arguments);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    CInstallInfo manifest;
    ASSERT_TRUE(manifest.Load(manifestPath));
    QString link;
    for (const CInstShortcutInfo& shortcut : manifest.shortcut) {
        if (shortcut.type == u"mainprog")
            link = shortcut.path;
    }
    EXPECT_EQ(link, c.expectedLink);
    if (c.warning) {
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.warning))) << r.err.toStdString();
    } else {
        EXPECT_FALSE(r.err.contains(QStringLiteral("warning"))) << r.err.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackInitMain,
    testing::Values(
        MainCase{"OnlyProgramAtTheTop",
                 {{"app", kElf}, {"bin/tool", kElf}, {"a.txt", "t"}},
                 {},
                 "$intallpath$\\app",
                 nullptr},
        MainCase{
            "ScriptCounts", {{"run.sh", "#!/bin/sh\n"}, {"a.txt", "t"}}, {}, "$intallpath$\\run.sh", nullptr},
        MainCase{"SeveralPrograms", {{"a", kElf}, {"b", kElf}}, {}, {}, "several programs at the top"},
        MainCase{"NoProgram", {{"a.txt", "t"}}, {}, {}, "no program at the top"},
        MainCase{"GivenInASubfolder",
                 {{"a", kElf}, {"b", kElf}, {"bin/x y", kElf}},
                 "bin/x y",
                 "$intallpath$\\bin\\x y",
                 nullptr}),
    TESTS::CaseName());

TEST(PackInit, NameRules)
{
    const std::pair<QString, bool> cases[] = {
        {QString(), false},
        {QStringLiteral("."), false},
        {QStringLiteral(".."), false},
        {QStringLiteral("a/b"), false},
        {QStringLiteral("a\\b"), false},
        {QString::fromUtf16(u"a\u007Fb"), false},
        {QString::fromUtf16(u"a\u0085b"), false},
        {QString::fromUtf16(u"a\0b", 3), false},
        {QStringLiteral("x$appdatapath$"), false},
        {QString::fromUtf16(u"\uFFFD.txt"), false},
        {QStringLiteral("..."), true},
        {QStringLiteral("read me.txt"), true},
        {QString::fromUtf16(u"模板 1.dat"), true},
        {QStringLiteral(".hidden"), true},
        {QStringLiteral("$HOME"), true},
    };
    for (const auto& [name, usable] : cases)
        EXPECT_EQ(CManifestGenerator::NameProblem(name).isEmpty(), usable) << name.toStdString();
}

}  // namespace
