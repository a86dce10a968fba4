// The manual pages as the package installs them: man renders each without a
// warning at 80 columns, and each says what people look for.
#include "support/CaseName.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct PageCase {
    const char* page;
    std::vector<const char*> words;
};

void PrintTo(const PageCase& c, std::ostream* os)
{
    *os << c.page;
}

class ManPage : public testing::TestWithParam<PageCase> {};

TEST_P(ManPage, RendersWithoutWarningsAndCoversItsSubject)
{
    const PageCase& c = GetParam();
    const QString root = TESTS::SandboxPath(QStringLiteral("debroot"));
    TESTS::ProcessResult r = TESTS::RunProcess(QStringLiteral("dpkg"),
                                               {QStringLiteral("-x"), QStringLiteral(NORVEX_DEB_FILE), root});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString page = root + QStringLiteral("/usr/share/man/man1/%1.1.gz").arg(QLatin1String(c.page));
    ASSERT_TRUE(QFileInfo(page).isFile());
    r = TESTS::RunProcess(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"), page},
                          {QStringLiteral("MANWIDTH=80"), QStringLiteral("LC_ALL=C.UTF-8"),
                           QStringLiteral("MANPAGER=cat"), QStringLiteral("PAGER=cat")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QString());
    for (const QString& line : r.out.split(u'\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
    for (const char* word : {"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "SEE ALSO"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word))) << word;
    for (const char* word : c.words)
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(word))) << word;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ManPage,
    testing::Values(PageCase{"norvex-pack",
                             {"init", "build", "attach", "list", "verify", "--quiet", "--template",
                              "SOURCE_DATE_EPOCH", "/usr/lib/norvex-setup/norvexsetup"}},
                    PageCase{"norvex-reg",
                             {"query", "add", "delete", "export", "NORVEX_SCOPE", "NORVEX_ROOT"}},
                    PageCase{"norvexsetup",
                             {"-silent", "-log FILE", "-help, -h, -?", "-douninstall", "NORVEX_SCOPE",
                              "NORVEX_ROOT", "UNATTENDED RUNS", "RUN MODES", "uninstall.exe"}}),
    TESTS::CaseNameBy<&PageCase::page>());

}  // namespace
