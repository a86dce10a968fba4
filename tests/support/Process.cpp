#include "Process.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace TESTS {

ProcessResult RunProcess(const QString& program, const QStringList& arguments, const QStringList& environment,
                         int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        const qsizetype eq = entry.indexOf(u'=');
        if (eq < 0)
            env.remove(entry);
        else
            env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "did not finish normally: " << program.toStdString();
        process.kill();
        process.waitForFinished();
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

}  // namespace TESTS
