// Progress of build and verify as it reaches a terminal (through a
// pseudo-terminal), a log or pipe, and nobody (--quiet).
#include "support/CaseName.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString kPackExe = QStringLiteral(NORVEX_PACK_EXE);
constexpr int kFiles = 200;

using TESTS::ProcessResult;

// Many files, so a line per file would show at once; together above the size
// from which a log gets progress lines.
QString MakePayload(int fileSize = 45000)
{
    const QString folder = TESTS::SandboxPath(QStringLiteral("payload"));
    QByteArray manifest =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<install>\n<version prog=\"P\" ver=\"1\"/>\n"
        "<info><prog>P</prog></info>\n<files>\n";
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray name = "f" + QByteArray::number(i) + ".dat";
        TESTS::WriteFileBytes(folder + u'/' + QString::fromLatin1(name),
                              QByteArray(fileSize + i, char('a' + i % 26)));
        manifest += "<file name=\"" + name + "\" path=\"$intallpath$\\\"/>\n";
    }
    manifest += "</files>\n</install>\n";
    TESTS::WriteFileBytes(TESTS::SandboxPath(QStringLiteral("Install.xml")), manifest);
    return folder;
}

QStringList BuildArguments(bool quiet)
{
    QStringList arguments{QStringLiteral("build"),
                          QStringLiteral("--manifest"),
                          TESTS::SandboxPath(QStringLiteral("Install.xml")),
                          QStringLiteral("--source"),
                          TESTS::SandboxPath(QStringLiteral("payload")),
                          QStringLiteral("-o"),
                          TESTS::SandboxPath(QStringLiteral("p.cab"))};
    if (quiet)
        arguments << QStringLiteral("--quiet");
    return arguments;
}

QStringList VerifyArguments(bool quiet)
{
    QStringList arguments{QStringLiteral("verify"), TESTS::SandboxPath(QStringLiteral("p.cab"))};
    if (quiet)
        arguments.insert(1, QStringLiteral("--quiet"));
    return arguments;
}

// Standard error as a terminal shows it.
ProcessResult RunOnTerminal(const QStringList& arguments)
{
    return TESTS::RunProcess(
        QStringLiteral("python3"),
        QStringList{TESTS::TestDataPath(QStringLiteral("pack/run_in_pty.py")), kPackExe} + arguments);
}

struct ProgressCase {
    const char* name;
    bool verify;
    bool terminal;
    bool quiet;
};

void PrintTo(const ProgressCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackProgress : public testing::TestWithParam<ProgressCase> {};

TEST_P(PackProgress, SuitsWhereItGoes)
{
    const ProgressCase& c = GetParam();
    MakePayload();
    if (c.verify) {
        const ProcessResult built = TESTS::RunProcess(kPackExe, BuildArguments(true));
        ASSERT_EQ(built.exitCode, 0) << built.err.toStdString();
    }
    const QStringList arguments = c.verify ? VerifyArguments(c.quiet) : BuildArguments(c.quiet);
    const ProcessResult r = c.terminal ? RunOnTerminal(arguments) : TESTS::RunProcess(kPackExe, arguments);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
    const QString progress = c.terminal ? r.out : r.err;
    if (c.quiet) {
        EXPECT_EQ(progress, QString());
        if (c.verify && !c.terminal) {
            EXPECT_EQ(r.out, QString());
        }
        return;
    }

    static const QRegularExpression status(
        QStringLiteral("(\\d+)% [\\d.]+ (B|KiB|MiB) of [\\d.]+ (B|KiB|MiB)"));
    const QString summaryWords = c.verify ? QStringLiteral("checked in") : QStringLiteral("200 files");
    if (c.terminal) {
        // One line redrawn in place: the only line break ends the summary.
        EXPECT_EQ(progress.count(u'\n'), 1) << progress.toStdString();
        EXPECT_TRUE(progress.contains(u'\r'));
        EXPECT_TRUE(status.match(progress).hasMatch()) << progress.toStdString();
        const QString summary = progress.section(u'\r', -2, -2);
        EXPECT_TRUE(summary.contains(summaryWords)) << progress.toStdString();
        EXPECT_TRUE(progress.endsWith(QStringLiteral("\r\n")));
    } else {
        const QStringList lines = progress.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2);
        ASSERT_LE(lines.size(), 11) << progress.toStdString();
        int last = 0;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            const QRegularExpressionMatch match = status.match(lines[i]);
            ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
            EXPECT_FALSE(lines[i].contains(u'\r'));
            const int percent = match.captured(1).toInt();
            EXPECT_GE(percent / 10, last / 10 + 1) << "at most one line per tenth";
            last = percent;
        }
        EXPECT_EQ(last, 100);
        EXPECT_TRUE(lines.last().contains(summaryWords)) << lines.last().toStdString();
        if (c.verify) {
            EXPECT_TRUE(r.out.endsWith(QStringLiteral(": ok\n")));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PackProgress,
                         testing::Values(ProgressCase{"BuildToALog", false, false, false},
                                         ProgressCase{"BuildOnATerminal", false, true, false},
                                         ProgressCase{"BuildQuietToALog", false, false, true},
                                         ProgressCase{"BuildQuietOnATerminal", false, true, true},
                                         ProgressCase{"VerifyToALog", true, false, false},
                                         ProgressCase{"VerifyOnATerminal", true, true, false},
                                         ProgressCase{"VerifyQuietToALog", true, false, true}),
                         TESTS::CaseName());

// A job over in a moment leaves only its summary in a log.
TEST(PackProgressSmall, LeavesOnlyTheSummaryInALog)
{
    MakePayload(100);
    ProcessResult r = TESTS::RunProcess(kPackExe, BuildArguments(false));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("norvex-pack build: 200 files, "))) << r.err.toStdString();
    r = TESTS::RunProcess(kPackExe, VerifyArguments(false));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
}

// Quiet keeps the errors.
TEST(PackProgressQuiet, StillReportsProblems)
{
    MakePayload();
    const QString package = TESTS::SandboxPath(QStringLiteral("p.cab"));
    TESTS::WriteFileBytes(package, "not a package");
    const ProcessResult r = TESTS::RunProcess(kPackExe, VerifyArguments(true));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(QStringLiteral("package cannot be read"))) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("problem"))) << r.err.toStdString();
}

}  // namespace
