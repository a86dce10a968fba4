// Starting programs: what the shell's "open" and "runas" do on Windows, and
// the removal of the running program's own file. Callers hold a
// CProgramStarter, so a test can replace any of its operations.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace PLATFORM {

class CProgramStarter {
public:
    virtual ~CProgramStarter() = default;

    // Starts the program without waiting for it and without keeping it as a
    // child. True when it started.
    virtual bool StartDetached(const QString& program, const QStringList& arguments);

    // Opens a document, folder or URL with the desktop's handler for it
    // (xdg-open, started detached). True when the handler started.
    virtual bool OpenWithHandler(const QString& documentOrUrl);

    // Starts the program with administrator rights and waits for it: through
    // pkexec when not running as root and pkexec exists, else as it is; waits
    // however long it takes. The program's exit status (-1 when it crashed),
    // or nothing when it could not be started.
    virtual std::optional<int> StartElevatedAndWait(const QString& program, const QStringList& arguments);

    // Deletes the file of a program that may be running (Linux lets it go at
    // once). True when the file is gone afterwards.
    virtual bool RemoveRunningExecutable(const QString& path);

    // A runnable program starts detached; any other file (a document the
    // manifest names as the main program, a program that lost its run bit)
    // opens with its handler instead of failing silently.
    bool OpenProgram(const QString& path, const QStringList& arguments = {});

    // A regular file (links followed) the current user may execute.
    static bool IsRunnable(const QString& path);

    // The command line StartElevatedAndWait runs: pkexec and the program's
    // absolute path first when elevation is needed (not root) and a pkexec
    // is known, else the program itself.
    static QStringList ElevatedCommand(const QString& program, const QStringList& arguments,
                                       bool runningAsRoot, const QString& pkexecPath);
};

// The starter that really starts programs.
CProgramStarter& SystemProgramStarter();

}  // namespace PLATFORM
