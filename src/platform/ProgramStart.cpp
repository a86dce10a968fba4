#include "platform/ProgramStart.h"

#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace PLATFORM {

bool StartDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

QStringList ElevatedCommand(const QString& program, const QStringList& arguments, bool runningAsRoot,
                            const QString& pkexecPath)
{
    QStringList command;
    if (!runningAsRoot && !pkexecPath.isEmpty())
        command << pkexecPath;
    command << program << arguments;
    return command;
}

bool RunElevatedAndWait(const QString& program, const QStringList& arguments)
{
    QStringList command = ElevatedCommand(program, arguments, ::geteuid() == 0,
                                          QStandardPaths::findExecutable(QStringLiteral("pkexec")));
    QProcess process;
    // pkexec may ask on the terminal; the program talks to the user, not to us.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(command.takeFirst(), command);
    if (!process.waitForStarted(-1))
        return false;
    process.waitForFinished(-1);
    return true;
}

}  // namespace PLATFORM
