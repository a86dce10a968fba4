// The -log switch over whole unattended runs of the sample product: install,
// repair and removal write their lines; a log that cannot be opened is
// reported once and the run still does its job.
#include "SampleRuns.h"

#include "platform/SpecialFolders.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using E2E::RunResult;

const QString kTitle = QStringLiteral("Tessaly Label Print & Share");

// The log's lines without their timestamps, each checked to have one.
QStringList LogLines(const QString& path)
{
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d) "));
    QStringList lines;
    for (const QString& line :
         QString::fromUtf8(TESTS::ReadFileBytes(path)).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = stamp.match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        lines << line.mid(m.capturedLength());
    }
    return lines;
}

// The lines of one run: from its "start:" line to its "end:" line.
QStringList RunLines(const QStringList& lines, int run)
{
    QStringList out;
    int seen = -1;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("start: ")))
            ++seen;
        if (seen == run)
            out << line;
    }
    return out;
}

void ExpectContains(const QStringList& lines, const QString& line)
{
    EXPECT_TRUE(lines.contains(line)) << "missing: " << line.toStdString() << "\nin:\n"
                                      << lines.join(u'\n').toStdString();
}

class RunLogTest : public testing::Test {
protected:
    void SetUp() override
    {
        installer =
            E2E::CopyOfSampleInstaller(TESTS::SandboxPath(QStringLiteral("Downloads/LabelPrintSetup")));
        folder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/");
        menu = PLATFORM::ProgramsMenuFolder() + kTitle + u'/';
        logPath = TESTS::SandboxPath(QStringLiteral("logs/labelprint.log"));
        QDir().mkpath(TESTS::SandboxPath(QStringLiteral("logs")));
    }

    RunResult Run(const QString& program)
    {
        // "/log" is the same switch as "-log".
        const RunResult r =
            E2E::RunProgram(program, {QStringLiteral("-silent"), QStringLiteral("/log"), logPath});
        EXPECT_EQ(r.exitCode, 0) << E2E::Show(r);
        return r;
    }

    QString installer;
    QString folder;
    QString menu;
    QString logPath;
};

TEST_F(RunLogTest, InstallRepairAndRemovalAppendTheirLines)
{
    Run(installer);

    // The install: what the run is, every file with its size, registry
    // values, desktop entries, and how it ended.
    const QStringList install = RunLines(LogLines(logPath), 0);
    ASSERT_GE(install.size(), 3);
    EXPECT_EQ(install[0], QStringLiteral("start: ") + installer + QStringLiteral(" -silent /log ") + logPath);
    // The manifest, taken out of the package at start-up.
    EXPECT_EQ(install
                  .filter(QRegularExpression(QStringLiteral("^wrote ")
                                             + QRegularExpression::escape(PLATFORM::TempFolder())
                                             + QStringLiteral("INI\\w{6}\\.tmp \\(\\d+ bytes\\)$")))
                  .size(),
              1);
    const QString* run = nullptr;
    for (const QString& line : install)
        run = line.startsWith(QStringLiteral("run: ")) && !run ? &line : run;
    ASSERT_TRUE(run);
    // The attached package is read in place inside the installer.
    EXPECT_TRUE(run->startsWith(QStringLiteral("run: mode install, installer ") + installer
                                + QStringLiteral(", package ")))
        << run->toStdString();
    EXPECT_TRUE(run->endsWith(QStringLiteral(", folder ") + folder)) << run->toStdString();
    ExpectContains(install, QStringLiteral("install ") + kTitle + QStringLiteral(", folder ") + folder);
    for (const QString& file : {QStringLiteral("LabelPrint"), QStringLiteral("doc/README.txt"),
                                QStringLiteral("uninstall.exe"), QStringLiteral("uninstall.xml")}) {
        ExpectContains(
            install,
            QStringLiteral("wrote %1 (%2 bytes)").arg(folder + file).arg(QFileInfo(folder + file).size()));
    }
    const QString templates =
        PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/LabelPrint/Templates/sample.tlp");
    ExpectContains(install,
                   QStringLiteral("wrote %1 (%2 bytes)").arg(templates).arg(QFileInfo(templates).size()));
    ExpectContains(
        install,
        QStringLiteral("registry set HKEY_CURRENT_USER\\Software\\Tessaly\\LabelPrint [InstallPath]"));
    ExpectContains(install, QStringLiteral("registry set HKEY_CLASSES_ROOT\\.tlp [@]"));
    ExpectContains(install,
                   QStringLiteral("registry set HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                  "CurrentVersion\\Uninstall\\LabelPrint [EstimatedSize]"));
    ExpectContains(install,
                   QStringLiteral("desktop entry ") + menu + QStringLiteral("Tessaly Label Print.desktop"));
    ExpectContains(install,
                   QStringLiteral("desktop entry ") + PLATFORM::DesktopFolder()
                       + QStringLiteral("Tessaly Label Print.desktop"));
    EXPECT_TRUE(install.last().startsWith(QStringLiteral("end: success, exit code 0, ")))
        << install.last().toStdString();
    EXPECT_TRUE(install.last().endsWith(QStringLiteral(" s")));

    const qint64 programSize = QFileInfo(folder + QStringLiteral("LabelPrint")).size();
    Run(installer);
    Run(folder + QStringLiteral("uninstall.exe"));
    const QStringList lines = LogLines(logPath);
    EXPECT_EQ(RunLines(lines, 0), install);  // appended, nothing rewritten

    const QStringList repair = RunLines(lines, 1);
    ASSERT_FALSE(repair.isEmpty());
    EXPECT_TRUE(repair.filter(QStringLiteral("run: mode repair, ")).size() == 1)
        << repair.join(u'\n').toStdString();
    ExpectContains(repair, QStringLiteral("repair ") + kTitle + QStringLiteral(", folder ") + folder);
    ExpectContains(repair,
                   QStringLiteral("already in place: %1 (%2 bytes)")
                       .arg(folder + QStringLiteral("LabelPrint"))
                       .arg(programSize));
    EXPECT_TRUE(repair.last().startsWith(QStringLiteral("end: success, exit code 0, ")));

    // The removal: the folder, the registry keys, the menu and the links.
    const QStringList removal = RunLines(lines, 2);
    ASSERT_FALSE(removal.isEmpty());
    ExpectContains(removal,
                   QStringLiteral("run: mode uninstall, installer ") + folder
                       + QStringLiteral("uninstall.exe, package none, folder ") + folder);
    ExpectContains(removal, QStringLiteral("removal of ") + kTitle + QStringLiteral(", folder ") + folder);
    ExpectContains(removal, QStringLiteral("removed ") + folder);
    ExpectContains(removal, QStringLiteral("registry deleted HKEY_CLASSES_ROOT\\.tlp"));
    ExpectContains(removal,
                   QStringLiteral("registry deleted HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                                  "CurrentVersion\\Uninstall\\LabelPrint"));
    ExpectContains(removal,
                   QStringLiteral("registry set HKEY_CURRENT_USER\\Software\\Tessaly\\LabelPrint [Version]"));
    ExpectContains(removal, QStringLiteral("removed ") + menu);
    ExpectContains(removal,
                   QStringLiteral("removed ") + PLATFORM::DesktopFolder()
                       + QStringLiteral("Tessaly Label Print.desktop"));
    EXPECT_TRUE(removal.last().startsWith(QStringLiteral("end: success, exit code 0, ")));
    for (const QString& line : lines)
        EXPECT_FALSE(line.startsWith(QStringLiteral("failed"))) << line.toStdString();
}

TEST_F(RunLogTest, LogThatCannotBeOpenedIsReportedOnceAndTheInstallGoesOn)
{
    const QString unwritable = TESTS::SandboxPath(QStringLiteral("missing/folder/run.log"));
    const RunResult r =
        E2E::RunProgram(installer, {QStringLiteral("-log"), unwritable, QStringLiteral("-silent")});
    EXPECT_EQ(r.exitCode, 0) << E2E::Show(r);
    const QString report =
        QStringLiteral("cannot open the log ") + unwritable + QStringLiteral(": No such file or directory");
    EXPECT_EQ(r.err.count(report), 1) << E2E::Show(r);
    EXPECT_EQ(r.err.split(u'\n', Qt::SkipEmptyParts), QStringList{report});
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("LabelPrint")));
    EXPECT_FALSE(QFileInfo::exists(unwritable));
}

}  // namespace
