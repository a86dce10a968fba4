// Runs a program to its end for tests that drive the real executables.
#pragma once

#include <QString>
#include <QStringList>

namespace TESTS {

struct ProcessResult {
    int exitCode = -1;  // -1 when it crashed or did not finish
    QString out;
    QString err;
};

// environment: "NAME=value" sets a variable, a bare "NAME" removes it; the rest
// of the test's own environment is inherited. Fails the calling test when the
// program crashes or does not finish in time.
ProcessResult RunProcess(const QString& program, const QStringList& arguments,
                         const QStringList& environment = {}, int timeoutMs = 300000);

}  // namespace TESTS
