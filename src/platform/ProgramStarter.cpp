#include "platform/ProgramStarter.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace PLATFORM {

bool CProgramStarter::StartDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool CProgramStarter::OpenWithHandler(const QString& documentOrUrl)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || documentOrUrl.isEmpty())
        return false;
    return StartDetached(opener, {documentOrUrl});
}

std::optional<int> CProgramStarter::StartElevatedAndWait(const QString& program, const QStringList& arguments)
{
    const QStringList command = ElevatedCommand(program, arguments, ::geteuid() == 0,
                                                QStandardPaths::findExecutable(QStringLiteral("pkexec")));
    QProcess process;
    // pkexec may ask on the terminal; the program talks to the user, not to us.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(command.first(), command.mid(1));
    if (!process.waitForStarted(-1))
        return std::nullopt;
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool CProgramStarter::RemoveRunningExecutable(const QString& path)
{
    if (path.isEmpty())
        return false;
    return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
}

bool CProgramStarter::OpenProgram(const QString& path, const QStringList& arguments)
{
    if (IsRunnable(path))
        return StartDetached(path, arguments);
    return OpenWithHandler(path);
}

bool CProgramStarter::IsRunnable(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    return !path.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode)
        && ::access(native.constData(), X_OK) == 0;
}

QStringList CProgramStarter::ElevatedCommand(const QString& program, const QStringList& arguments,
                                             bool runningAsRoot, const QString& pkexecPath)
{
    if (runningAsRoot || pkexecPath.isEmpty())
        return QStringList{program} + arguments;
    // pkexec runs programs by absolute path only.
    return QStringList{pkexecPath, QFileInfo(program).absoluteFilePath()} + arguments;
}

CProgramStarter& SystemProgramStarter()
{
    static CProgramStarter starter;
    return starter;
}

}  // namespace PLATFORM
