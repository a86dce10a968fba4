// Desktop entries written in place of shell links: names, Exec quoting that
// survives awkward targets, validity for desktop-file-validate, atomic writes.
#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "platform/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace PLATFORM;

namespace {

struct EntryCase {
    const char* label;
    QString linkFile;  // link file name as the manifest gives it
    DesktopEntry entry;
    QString entryFile;    // expected file name
    QString nameLine;     // expected lines, exactly as in the file
    QString commentLine;  // empty: no Comment key
    QString execLine;
    QStringList argv;  // what a launcher must start
};

void PrintTo(const EntryCase& c, std::ostream* os)
{
    *os << c.label;
}

const QString kProg = QStringLiteral("/opt/Tessaly/NorvexLabel/NorvexLabel");

QStringList Argv(const QString& target, QStringList args = {})
{
    args.prepend(target);
    return args;
}

const EntryCase kCases[] = {
    {"Plain",
     "Norvex Label.lnk",
     {kProg, "", "Norvex label editor", ""},
     "Norvex Label.desktop",
     "Name=Norvex Label",
     "Comment=Norvex label editor",
     "Exec=" + kProg,
     Argv(kProg)},
    {"BlanksAndAutostart",
     "Norvex Label.lnk",
     {"/opt/Tessaly/Norvex Label/Norvex Label", "-autostart", "Norvex label editor", ""},
     "Norvex Label.desktop",
     "Name=Norvex Label",
     "Comment=Norvex label editor",
     "Exec=\"/opt/Tessaly/Norvex Label/Norvex Label\" -autostart",
     Argv("/opt/Tessaly/Norvex Label/Norvex Label", {"-autostart"})},
    // Inside quotes " ` $ \ take a backslash, and the file's string escaping
    // doubles every backslash again.
    {"QuotesDollarBackquoteBackslash",
     "Odd.lnk",
     {"/opt/a\"b/$HOME/`x`/c\\d", "", "", ""},
     "Odd.desktop",
     "Name=Odd",
     "",
     "Exec=\"/opt/a\\\\\"b/\\\\$HOME/\\\\`x\\\\`/c\\\\\\\\d\"",
     Argv("/opt/a\"b/$HOME/`x`/c\\d")},
    {"Percent",
     "Percent.lnk",
     {"/opt/100%/run", "50% %U", "", ""},
     "Percent.desktop",
     "Name=Percent",
     "",
     "Exec=/opt/100%%/run 50%% %%U",
     Argv("/opt/100%/run", {"50%", "%U"})},
    {"PercentInsideQuotes",
     "Percent.lnk",
     {"/opt/100 %/run", "", "", ""},
     "Percent.desktop",
     "Name=Percent",
     "",
     "Exec=\"/opt/100 %%/run\"",
     Argv("/opt/100 %/run")},
    {"NonAscii",
     "标签编辑器.lnk",
     {QString::fromUtf8("/opt/泰斯/标签 编辑器"), QString::fromUtf8("--title \"Größe über\" x"),
      QString::fromUtf8("编辑标签"), ""},
     QString::fromUtf8("标签编辑器.desktop"),
     QString::fromUtf8("Name=标签编辑器"),
     QString::fromUtf8("Comment=编辑标签"),
     QString::fromUtf8("Exec=\"/opt/泰斯/标签 编辑器\" --title \"Größe über\" x"),
     Argv(QString::fromUtf8("/opt/泰斯/标签 编辑器"), {"--title", QString::fromUtf8("Größe über"), "x"})},
    {"ShellCharactersInArguments",
     "Args.lnk",
     {kProg, "'it' ~/x a;b c&d \"x  y\"", "", ""},
     "Args.desktop",
     "Name=Args",
     "",
     "Exec=" + kProg + " \"'it'\" \"~/x\" \"a;b\" \"c&d\" \"x  y\"",
     Argv(kProg, {"'it'", "~/x", "a;b", "c&d", "x  y"})},
    {"UpperCaseLnkDescriptionEqualsName",
     "Editor.LNK",
     {kProg, "", "Editor", ""},
     "Editor.desktop",
     "Name=Editor",
     "",
     "Exec=" + kProg,
     Argv(kProg)},
    {"NoLnkSuffixEmptyDescription",
     "Manual.url",
     {"/usr/bin/xdg-open", "", "", ""},
     "Manual.url.desktop",
     "Name=Manual.url",
     "",
     "Exec=/usr/bin/xdg-open",
     Argv("/usr/bin/xdg-open")},
    {"EscapesInNameAndComment",
     " Lead\\in.lnk",
     {kProg, "", "line one\nline\ttwo ", ""},
     " Lead\\in.desktop",
     "Name=\\sLead\\\\in",
     "Comment=line one\\nline\\ttwo\\s",
     "Exec=" + kProg,
     Argv(kProg)},
    // Control characters without an escape are dropped, never written raw.
    {"ControlCharactersInComment",
     "Ctl.lnk",
     {kProg, "", "red\x1b[31m alarm\x07\x7f\r\n", ""},
     "Ctl.desktop",
     "Name=Ctl",
     "Comment=red[31m alarm\\r\\n",
     "Exec=" + kProg,
     Argv(kProg)},
    {"WithIcon",
     "Icon.lnk",
     {kProg, "", "", "/opt/Tessaly/NorvexLabel/icon.png"},
     "Icon.desktop",
     "Name=Icon",
     "",
     "Exec=" + kProg,
     Argv(kProg)},
};

QStringList FileLines(const QString& path)
{
    return QString::fromUtf8(TESTS::ReadFileBytes(path)).split('\n', Qt::SkipEmptyParts);
}

// desktop-file-validate's verdict: empty when the file is clean.
QString ValidatorComplaints(const QString& path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("desktop-file-validate"), {path});
    if (!p.waitForFinished(60000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString out = QString::fromUtf8(p.readAll());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return out.isEmpty() ? QStringLiteral("exit code %1").arg(p.exitCode()) : out;
    // Hints are suggestions only; warnings count.
    return out.contains(QLatin1String("warning")) ? out : QString();
}

QString LineWithKey(const QStringList& lines, const QString& key)
{
    for (const QString& l : lines)
        if (l.startsWith(key + '='))
            return l;
    return {};
}

class DesktopEntryWriteTest : public testing::TestWithParam<EntryCase> {};

TEST_P(DesktopEntryWriteTest, WritesValidEntryWhoseExecStartsTheTarget)
{
    const EntryCase& c = GetParam();
    const QString folder = TESTS::SandboxPath("menu/");
    ASSERT_TRUE(QDir().mkpath(folder));

    ASSERT_TRUE(WriteDesktopEntry(folder + c.linkFile, c.entry));

    const QString path = folder + c.entryFile;
    EXPECT_EQ(DesktopEntryPath(folder + c.linkFile), path);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{c.entryFile});
    EXPECT_EQ(ValidatorComplaints(path), QString());

    const QStringList lines = FileLines(path);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    EXPECT_EQ(LineWithKey(lines, "Type"), "Type=Application");
    EXPECT_EQ(LineWithKey(lines, "Terminal"), "Terminal=false");
    EXPECT_EQ(LineWithKey(lines, "Name"), c.nameLine);
    EXPECT_EQ(LineWithKey(lines, "Comment"), c.commentLine);
    EXPECT_EQ(LineWithKey(lines, "Exec"), c.execLine);
    EXPECT_EQ(LineWithKey(lines, "Icon"), c.entry.icon.isEmpty() ? QString() : "Icon=" + c.entry.icon);

    // And back again through the reader.
    const auto values = ReadDesktopEntryFile(path);
    ASSERT_TRUE(values.has_value());
    const auto argv = SplitExec(values->value("Exec"));
    ASSERT_TRUE(argv.has_value());
    EXPECT_EQ(*argv, c.argv);
    EXPECT_EQ(values->value("Name"), DesktopEntryName(c.linkFile));
}

INSTANTIATE_TEST_SUITE_P(Cases, DesktopEntryWriteTest, testing::ValuesIn(kCases),
                         TESTS::CaseNameBy<&EntryCase::label>());

mode_t FileMode(const QString& path)
{
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

ino_t FileInode(const QString& path)
{
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

TEST(DesktopEntryTest, OverwriteReplacesTheFileInOneStep)
{
    const QString link = TESTS::SandboxPath("Desktop/Norvex.lnk");
    const QString path = TESTS::SandboxPath("Desktop/Norvex.desktop");
    const QString keep = TESTS::SandboxPath("old.desktop");
    ASSERT_TRUE(QDir().mkpath(TESTS::SandboxPath("Desktop")));
    ASSERT_TRUE(WriteDesktopEntry(link, {"/opt/old/prog", "", "old", ""}));
    const QByteArray before = TESTS::ReadFileBytes(path);
    // A second name for the old file shows whether it was rewritten in place.
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(keep).constData()), 0);
    const ino_t oldInode = FileInode(path);

    ASSERT_TRUE(WriteDesktopEntry(link, {"/opt/new/prog", "-autostart", "new", ""}));

    // A new file was renamed over the old one: whoever held the old one still
    // sees it whole, and no temporary file is left behind.
    EXPECT_NE(FileInode(path), oldInode);
    EXPECT_TRUE(TESTS::ReadFileBytes(path).contains("Exec=/opt/new/prog -autostart"));
    EXPECT_EQ(QDir(TESTS::SandboxPath("Desktop")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Norvex.desktop"});
    EXPECT_EQ(TESTS::ReadFileBytes(keep), before);
    EXPECT_EQ(ValidatorComplaints(path), QString());
}

TEST(DesktopEntryTest, ExecutableFlagSetsRunBitAndClearsIt)
{
    const QString folder = TESTS::SandboxPath("Desktop/");
    ASSERT_TRUE(QDir().mkpath(folder));
    const mode_t oldMask = umask(077);  // a strict umask must not hide menu entries from other users
    ASSERT_TRUE(WriteDesktopEntry(folder + "A.lnk", {kProg, "", "", ""}, true));
    EXPECT_EQ(FileMode(folder + "A.desktop"), mode_t(0755));
    ASSERT_TRUE(WriteDesktopEntry(folder + "A.lnk", {kProg, "", "", ""}, false));
    EXPECT_EQ(FileMode(folder + "A.desktop"), mode_t(0644));
    umask(oldMask);
}

TEST(DesktopEntryTest, RejectedInputLeavesExistingEntryAlone)
{
    const QString folder = TESTS::SandboxPath("menu/");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WriteDesktopEntry(folder + "A.lnk", {kProg, "", "", ""}));
    const QByteArray before = TESTS::ReadFileBytes(folder + "A.desktop");

    struct Bad {
        const char* label;
        QString link;
        DesktopEntry entry;
    };
    const Bad bad[] = {
        {"empty target", folder + "A.lnk", {"", "", "", ""}},
        {"control character in target",
         folder + "A.lnk",
         {"/opt/a\x01"
          "b",
          "", "", ""}},
        {"control character in arguments",
         folder + "A.lnk",
         {kProg,
          "a\x1b"
          "b",
          "", ""}},
        {"no name left", folder + ".lnk", {kProg, "", "", ""}},
        {"missing folder", folder + "absent/B.lnk", {kProg, "", "", ""}},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.label);
        EXPECT_FALSE(WriteDesktopEntry(b.link, b.entry));
    }
    EXPECT_EQ(TESTS::ReadFileBytes(folder + "A.desktop"), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"A.desktop"});
}

TEST(DesktopEntryTest, RemoveUsesTheSameNameRule)
{
    const QString folder = TESTS::SandboxPath("menu/");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WriteDesktopEntry(folder + "Norvex.lnk", {kProg, "", "", ""}));
    TESTS::WriteFileBytes(folder + "Other.desktop", "keep");

    EXPECT_TRUE(RemoveDesktopEntry(folder + "Norvex.LNK"));
    EXPECT_FALSE(QFileInfo::exists(folder + "Norvex.desktop"));
    EXPECT_TRUE(RemoveDesktopEntry(folder + "Norvex.lnk"));  // already gone: fine
    EXPECT_TRUE(QFileInfo::exists(folder + "Other.desktop"));
}

TEST(DesktopEntryTest, SplitExecRejectsMalformedValues)
{
    const char* bad[] = {
        "",                  // no program
        "\"/opt/open",       // quote not closed
        "\"/opt/a\\nb\"",    // backslash before a letter inside quotes
        "/opt/prog %U",      // field code
        "\"/opt/prog %f\"",  // field code inside quotes
        "/opt/a\"b c\"",     // quote inside an argument
        "\"/opt/a\"b",       // text after a closing quote
        "/opt/$HOME",        // reserved character outside quotes
    };
    for (const char* exec : bad) {
        SCOPED_TRACE(exec);
        EXPECT_FALSE(SplitExec(QString::fromUtf8(exec)).has_value());
    }
}

}  // namespace
