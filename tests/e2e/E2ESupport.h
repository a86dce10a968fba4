// What the whole-run tests share: running a real program in the sandbox, and
// making a real installer from the sample product with an edited manifest.
#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace E2E {

struct RunResult {
    int exitCode = -1;
    QStringList out;
    QString err;
};

inline RunResult RunProgram(const QString& program, const QStringList& arguments)
{
    const TESTS::ProcessResult r = TESTS::RunProcess(program, arguments,
        {QStringLiteral("LC_ALL=zh_CN.UTF-8"), QStringLiteral("DISPLAY")}, 180000);
    return {r.exitCode, r.out.split(u'\n', Qt::SkipEmptyParts), r.err};
}

inline std::string Show(const RunResult& r)
{
    return ("exit " + QString::number(r.exitCode) + "\nout:\n" + r.out.join(u'\n') + "\nerr:\n" + r.err)
        .toStdString();
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
    const RunResult built = RunProgram(pack, {QStringLiteral("build"), QStringLiteral("--manifest"),
                                       dir + QStringLiteral("Install.xml"), QStringLiteral("--source"),
                                       QStringLiteral(SAMPLE_PAYLOAD), QStringLiteral("--template"),
                                       QStringLiteral(NORVEX_SETUP_EXE), QStringLiteral("--level"),
                                       QStringLiteral("1"), QStringLiteral("-o"),
                                       dir + QStringLiteral("labelprint.cab")});
    EXPECT_EQ(built.exitCode, 0) << Show(built);
    const RunResult attached =
        RunProgram(pack, {QStringLiteral("attach"), QStringLiteral("--template"), QStringLiteral(NORVEX_SETUP_EXE),
                   QStringLiteral("--package"), dir + QStringLiteral("labelprint.cab"), QStringLiteral("-o"),
                   dir + QStringLiteral("LabelPrintSetup")});
    EXPECT_EQ(attached.exitCode, 0) << Show(attached);
    return dir + QStringLiteral("LabelPrintSetup");
}

}  // namespace E2E
