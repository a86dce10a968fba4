// The command line of a run: run mode switches, the path argument, the
// unattended flag, the log file, the help request, and the executable's own
// path and folder.
#pragma once

#include "engine/RunMode.h"

#include <QString>
#include <QStringList>

class CCommandLine {
public:
    // Parses the arguments after argument 0, in order:
    //   "-name", "--name"  a switch; names are compared ignoring case. Unknown
    //            ones change nothing and are kept in unknownSwitches (an
    //            unattended run refuses them). A switch with a value
    //            ("-log FILE") takes the next argument, or "--log=FILE".
    //   "/name"  a switch only when name is a known switch name; otherwise the
    //            whole argument is the path argument (Linux paths start with '/').
    //   "help", "h", "?"  ask for the switch list.
    //   other    the path argument (the last one wins).
    // Then the file-name rule (see ForcesUninstall) and the removal of double
    // quotes from both ends of the path argument.
    static CCommandLine Parse(const QStringList& arguments, const QString& modulePath);
    // A process's whole command line, argument 0 first: the module path
    // resolved against workingFolder (see ResolveModulePath), then Parse of
    // the rest. What the process decides from its arguments comes from here,
    // once.
    static CCommandLine Of(const QStringList& arguments, const QString& workingFolder);

    // True when the name is one of the known switch names, ignoring case.
    static bool IsKnownSwitch(const QString& name);

    // The installed copy is named "uninstall.exe": a module path that contains
    // that name (any case) after its first character always runs the first
    // removal stage, whatever switch was given.
    static bool ForcesUninstall(const QString& modulePath);

    // The executable's path: argument 0 made absolute against workingFolder when
    // it names an existing file (links are kept as they are, so a link named
    // uninstall.exe still counts as that name), else the running executable.
    static QString ResolveModulePath(const QString& argument0, const QString& workingFolder);
    // The module path without its last component, ending with one '/'.
    static QString ModuleFolderOf(const QString& modulePath);

    // The executable's path (set by Of; Parse leaves it empty).
    QString modulePath;
    RunMode mode = RunMode::Install;
    // A mode switch was given (the file-name rule does not count).
    bool modeSwitchGiven = false;
    // "silent": run without a window.
    bool silent = false;
    // "help", "h" or "?": show the switch list and start nothing.
    bool help = false;
    // "log FILE": where the run's record goes; empty when not given.
    QString logPath;
    // The switches that matched no name, as given ("-silnet", "--"), and a
    // switch whose value is missing ("-log" last); only the unattended run
    // treats them as errors.
    QStringList unknownSwitches;
    QString switchWithoutValue;
    QString pathArgument;
};
