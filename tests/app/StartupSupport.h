// Shared pieces of the start-up tests: the recording message box, the
// temporary folder's contents, and an application object for Qt's sockets.
#pragma once

#include "support/Recorders.h"

#include "app/MessageBox.h"
#include "common/FileHelpers.h"
#include "platform/TempFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <vector>

namespace TESTS {

// Everything in the private temporary folder.
inline QStringList TempFolderEntries()
{
    return QDir(GetTempDirectory())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The local sockets of the single-instance check need an event loop.
inline void EnsureCoreApplication()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

}  // namespace TESTS
