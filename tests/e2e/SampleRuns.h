// The sample product's installer for whole runs: copies and variants of it
// made with norvex-pack, and running them with the sandbox's environment.
#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include "platform/SpecialFolders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace E2E {

// Where the sample product installs by default, and its data folder.
inline QString SampleInstallFolder()
{
    return PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/LabelPrint/");
}
inline QString SampleDataFolder()
{
    return PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/LabelPrint/");
}

struct RunResult {
    int exitCode = -1;
    QStringList out;
    QString err;
};

// Runs a program in the Chinese (PRC) language; environment as in TESTS::RunProcess.
inline RunResult RunProgram(const QString& program, const QStringList& arguments,
                            const QStringList& environment = {})
{
    const TESTS::ProcessResult r = TESTS::RunProcess(
        program, arguments,
        QStringList{QStringLiteral("LC_ALL=zh_CN.UTF-8"), QStringLiteral("DISPLAY")} + environment, 180000);
    return {r.exitCode, r.out.split(u'\n', Qt::SkipEmptyParts), r.err};
}

inline std::string Show(const RunResult& r)
{
    return ("exit " + QString::number(r.exitCode) + "\nout:\n" + r.out.join(u'\n') + "\nerr:\n" + r.err)
        .toStdString();
}

// Builds the sample package into folder, lets change alter it (may be empty),
// and attaches it to the template: the installer's path.
inline QString MakeInstaller(const QString& folder,
                             const std::function<void(const QString& package)>& change = {})
{
    QDir().mkpath(folder);
    const QString pack = QStringLiteral(NORVEX_PACK_EXE);
    const QString package = folder + QStringLiteral("/labelprint.cab");
    const QString installer = folder + QStringLiteral("/LabelPrintSetup");
    const RunResult built =
        RunProgram(pack,
                   {QStringLiteral("build"), QStringLiteral("--manifest"), QStringLiteral(SAMPLE_MANIFEST),
                    QStringLiteral("--source"), QStringLiteral(SAMPLE_PAYLOAD), QStringLiteral("--template"),
                    QStringLiteral(NORVEX_SETUP_EXE), QStringLiteral("--level"), QStringLiteral("1"),
                    QStringLiteral("-o"), package});
    EXPECT_EQ(built.exitCode, 0) << Show(built);
    if (change)
        change(package);
    const RunResult attached =
        RunProgram(pack,
                   {QStringLiteral("attach"), QStringLiteral("--template"), QStringLiteral(NORVEX_SETUP_EXE),
                    QStringLiteral("--package"), package, QStringLiteral("-o"), installer});
    EXPECT_EQ(attached.exitCode, 0) << Show(attached);
    return installer;
}

// The sample installer as it was built.
inline QString CopyOfSampleInstaller(const QString& path)
{
    TESTS::WriteFileBytes(path, TESTS::ReadFileBytes(QStringLiteral(SAMPLE_INSTALLER)));
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                              | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return path;
}

// The sample product's installer built from the sample manifest after edit,
// in its own folder below the sandbox root; returns the installer's path.
inline QString SampleInstaller(const QString& name, const std::function<void(QByteArray&)>& edit)
{
    QByteArray manifest = TESTS::ReadFileBytes(QStringLiteral(SAMPLE_MANIFEST));
    edit(manifest);
    const QString dir = TESTS::SandboxPath(QStringLiteral("build-") + name + u'/');
    TESTS::WriteFileBytes(dir + QStringLiteral("Install.xml"), manifest);
    const QString pack = QStringLiteral(NORVEX_PACK_EXE);
    const RunResult built = RunProgram(
        pack,
        {QStringLiteral("build"), QStringLiteral("--manifest"), dir + QStringLiteral("Install.xml"),
         QStringLiteral("--source"), QStringLiteral(SAMPLE_PAYLOAD), QStringLiteral("--template"),
         QStringLiteral(NORVEX_SETUP_EXE), QStringLiteral("--level"), QStringLiteral("1"),
         QStringLiteral("-o"), dir + QStringLiteral("labelprint.cab")});
    EXPECT_EQ(built.exitCode, 0) << Show(built);
    const RunResult attached =
        RunProgram(pack,
                   {QStringLiteral("attach"), QStringLiteral("--template"), QStringLiteral(NORVEX_SETUP_EXE),
                    QStringLiteral("--package"), dir + QStringLiteral("labelprint.cab"), QStringLiteral("-o"),
                    dir + QStringLiteral("LabelPrintSetup")});
    EXPECT_EQ(attached.exitCode, 0) << Show(attached);
    return dir + QStringLiteral("LabelPrintSetup");
}

}  // namespace E2E
