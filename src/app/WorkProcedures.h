// The work procedures of a run: install, upgrade, repair, removal, user-data
// removal, the removal hand-over, the running-program check and the finish
// actions. They call the install engine step by step on the one thread and
// report every text, bar position and question to a view, so the wizard, the
// unattended console and the tests drive the very same sequences.
#pragma once

#include "app/MessageBox.h"
#include "app/ProcedureView.h"
#include "engine/InstallEngine.h"
#include "platform/ProgramStarter.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <utility>
#include <vector>

// Said on standard error when an unattended run finds another installer running.
QString SecondInstanceText();
// Said for a shortcut left out because its target holds control characters.
QString ShortcutSkippedText(const QString& link);

// "needed / free" for the file systems the run writes to, in the system's
// language; empty when the package cannot be measured.
QString SpaceNeededLine(CInstallEngine& engine);
// Said when start-up found the journal of a killed run: what became of it
// (undone, its cleanup finished, or not followed) and the problems met.
QString InterruptedRunText(const QString& product, CRollback::Recovered recovered,
                           const QStringList& problems);

enum class ProcedureResult {
    Completed,   // every step ran; the view shows the next page
    NotStarted,  // a check before the first write failed; told, nothing written, view unchanged
    Failed,      // the file step failed or was cancelled; 1106 shown, view closed
    Incomplete,  // ran to its end, but a step failed or removal kept the folder (reported)
};

class CWorkProcedures {
public:
    // All three must outlive the procedures object. Messages and questions go
    // to the message box, without a caption of their own.
    CWorkProcedures(CInstallEngine& engine, CProcedureView& view, CMessageBox& messageBox);

    // Before the install, upgrade and repair procedures. True when no copy of
    // the installed program runs. Otherwise asks text 1102; Yes sends the
    // program's window the close request. Either way the caller does not start.
    bool CheckRunningProgram();

    // Each shows the Installing page, then the Shortcuts page.
    ProcedureResult Install();
    ProcedureResult Upgrade();
    ProcedureResult Repair();
    // The one of the three that belongs to the run mode.
    ProcedureResult RunProcedure(RunMode mode);

    // The Removing page, then the Removed page: the install folder (only when it is plainly the
    // product's own, else the user is told and the folder stays), the
    // registration and the shortcuts.
    ProcedureResult Remove();

    // The RemovingUserData page, then UserDataRemoved: the per-user key and data folder; then the
    // running removal copy deletes its own file.
    ProcedureResult RemoveUserData();

    // The removal choice page, removal chosen: copies the executable into a new "UN"
    // temporary file, makes it runnable and starts it with -douninstall and
    // the installed uninstall.xml; then closes the view. False, with nothing
    // left behind, the view unchanged and the reason in the engine's last
    // error, when the copy or the start fails.
    bool HandOverRemoval();

    // Last page: the companion editor when the view offers it, then the
    // product when startProduct (a main program that cannot run itself opens
    // with its handler), then the view closes.
    void FinishActions(bool companionChecked, bool startProduct);
    // The shortcut page's step: the shortcuts with the chosen extra copies,
    // then one warning naming every link left out or not written. The run
    // goes on without them.
    void CreateShortcuts(bool desktop, bool quickLaunch);

    // Starts programs and removes the running copy; the system's starter by
    // default, tests replace it. Not owned.
    PLATFORM::CProgramStarter* Programs = &PLATFORM::SystemProgramStarter();

private:
    // The texts of one step: the line above the step bar and the one above the
    // overall bar.
    struct StepLines {
        QString step;
        QString overall;
    };
    // The install and the upgrade differ only in their page and texts: files,
    // registry, shortcuts and registration, in that order.
    ProcedureResult DeploySteps(RunMode mode, const QString& firstStepLine,
                                const std::array<StepLines, 4>& lines);
    void Step(const QString& stepLine, const QString& overallLine, int overall);
    // The log line that opens a procedure.
    void LogStart(const QString& procedure, const QString& folder);
    // Room on the disks and a writable installation folder; false after
    // telling the user why.
    bool CheckBeforeWriting();
    ProcedureResult FileStepFailed();
    // Steps that failed but let the run go on: the step's name and the reason.
    using StepFailures = std::vector<std::pair<QString, QString>>;
    // Runs a step that carries on past its failures and notes whether it had any.
    void Checked(StepFailures& failures, const QString& step, const std::function<void()>& run);
    // Says each failed step, then shows the procedure's last page.
    ProcedureResult Finish(const StepFailures& failures, RunMode mode, WizardPage page);
    void DeleteRunningCopy();

    CInstallEngine& m_engine;
    CProcedureView& m_view;
    CMessageBox& m_messageBox;
};
