// The application object: owns the run's engine, runs start-up (language,
// module path, command line, single instance, manifest, previous installation)
// and then hands the engine to the wizard or the unattended run.
#pragma once

#include "app/CommandLine.h"
#include "app/MessageBox.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class CInstallEngine;
class CConsoleMessageBox;
namespace PLATFORM {
class CSingleInstance;
}

class CNorvexSetupApp {
public:
    enum class StartupResult {
        NotStarted,
        Ready,           // manifest loaded, previous installation detected, run step called
        SecondInstance,  // another instance runs: the wizard steps back silently, -silent says so (exit 2)
        ManifestError,   // removal modes: the manifest could not be loaded
        PackageError,    // package modes: no sound package or Install.xml
        HelpShown,       // a help switch: the switch list went to standard output
        SwitchError,     // unattended run with a switch it does not know
    };

    // What runs once start-up has succeeded: the wizard, or the unattended
    // run for "silent". Returns the process exit code.
    using RunStep = std::function<int(CNorvexSetupApp& app)>;

    // The process's arguments, argument 0 first; InitInstance reads them
    // (CCommandLine::Of against the working folder).
    explicit CNorvexSetupApp(QStringList arguments);
    // The same, with the command line the process already read from them.
    CNorvexSetupApp(QStringList arguments, CCommandLine commandLine);
    CNorvexSetupApp(const CNorvexSetupApp&) = delete;
    CNorvexSetupApp& operator=(const CNorvexSetupApp&) = delete;
    // Destroys the steps first (they may hold a window built on the engine),
    // then the engine (it deletes a temporary package), then stops answering
    // later instances.
    virtual ~CNorvexSetupApp();

    // The whole start-up, then the run step; with "-log FILE" the run is
    // logged from the command line to its end. Always false: there is no
    // message loop of the application's own after it.
    virtual bool InitInstance();

    CInstallEngine& Engine() { return *m_engine; }
    const CCommandLine& CommandLine() const { return m_commandLine; }
    StartupResult Result() const { return m_result; }
    // 0 when the run step was not set, a second instance stepped back or help
    // was shown, 2 when start-up failed or an unattended run met a bad switch,
    // else the run step's result.
    int ExitCode() const { return m_exitCode; }

    // Where messages go; not owned. Null restores the console one.
    void SetMessageBox(CMessageBox* box);
    CMessageBox& MessageBox() const { return *m_messageBox; }
    void SetRunStep(RunStep step) { m_runStep = std::move(step); }
    // Work that needs neither the package nor the manifest, done while the
    // package's digest may still be worked out: after the single-instance
    // claim, before the package or manifest is read. Not called when another
    // instance runs.
    using PrepareStep = std::function<void(CNorvexSetupApp& app)>;
    void SetPrepareStep(PrepareStep step) { m_prepareStep = std::move(step); }
    // Called from the event loop when a later instance asks this one to show
    // and raise its window.
    void SetShowRequestHandler(std::function<void()> handler);
    // The file whose attached resources hold the package (the running program
    // by default) and the folder argument 0 is relative to (the current one).
    void SetExecutablePath(const QString& path) { m_executablePath = path; }
    void SetWorkingFolder(const QString& folder) { m_workingFolder = folder; }

    // The fixed start-up texts, shown whatever the language.
    static QString ErrorCaption();
    static QString ManifestErrorText();
    static QString PackageErrorText();

private:
    // Everything after the command line: single instance, manifest, previous
    // installation, the run step.
    void Startup();
    void ShowStartupError(const QString& text);
    static void WriteToStandardError(const QString& text);
    static void WriteToStandardOutput(const QString& text);

    QStringList m_arguments;
    QString m_executablePath;
    QString m_workingFolder;
    std::unique_ptr<CInstallEngine> m_engine;
    std::unique_ptr<PLATFORM::CSingleInstance> m_singleInstance;
    std::unique_ptr<CConsoleMessageBox> m_consoleMessageBox;
    CMessageBox* m_messageBox = nullptr;
    RunStep m_runStep;
    PrepareStep m_prepareStep;
    std::optional<CCommandLine> m_givenCommandLine;
    CCommandLine m_commandLine;
    StartupResult m_result = StartupResult::NotStarted;
    int m_exitCode = 0;
};
