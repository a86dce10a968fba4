// Starting programs: detached ("open" of an executable) and elevated with a
// wait ("runas"). There is no elevation prompt of our own: pkexec asks when
// it is there and we are not root; otherwise the program runs as we do.
#pragma once

#include <QString>
#include <QStringList>

namespace PLATFORM {

// Starts the program without waiting for it; true when it started.
bool StartDetached(const QString& program, const QStringList& arguments);

// The command that runs program elevated: pkexec in front of it when not
// running as root and pkexec was found (its path), the program alone otherwise.
QStringList ElevatedCommand(const QString& program, const QStringList& arguments, bool runningAsRoot,
                            const QString& pkexecPath);

// Runs ElevatedCommand for this process and waits, however long it takes,
// until it has ended; its output goes where ours goes. False when it could
// not be started.
bool RunElevatedAndWait(const QString& program, const QStringList& arguments);

}  // namespace PLATFORM
