#include "app/WorkProcedures.h"

#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "common/TextFormat.h"
#include "engine/StepProgress.h"
#include "platform/FileWriter.h"
#include "platform/TempFiles.h"
#include "platform/WindowMarkers.h"

#include <QFileInfo>

#include <cstdint>

namespace {

// The engine moves the step bar through this; the view repaints it itself.
class CViewStepProgress : public CStepProgress {
public:
    explicit CViewStepProgress(CProcedureView& view) : m_view(view) {}
    void SetStepPos(int position) override { m_view.SetStepBar(position); }
    void RepaintStep() override {}

private:
    CProcedureView& m_view;
};

// Why the removal left the installation folder in place.
QString FolderKeptText(CInstallEngine::FolderKept reason, const QString& folder, const QString& product)
{
    using Kept = CInstallEngine::FolderKept;
    switch (reason) {
    case Kept::Link:
        return GetTextString(TEXT::FolderKeptLink).arg(folder);
    case Kept::NotDeleted:
        return GetTextString(TEXT::FolderKeptNotDeleted).arg(folder);
    case Kept::OtherFiles:
        // Only the product's files and the folders they left empty go, so
        // the folder may stay empty: it was there, not necessarily with files.
        return GetTextString(TEXT::FolderKeptOtherFiles).arg(folder, product);
    case Kept::NotOurs:
    case Kept::No:
        break;
    }
    return GetTextString(TEXT::FolderKeptNotOurs).arg(folder);
}

// Sizes as people read them: "512 B", "3.4 MB", "1.2 GB" (units of 1024).
QString SizeText(qint64 bytes, bool exact = false)
{
    if (exact || bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString NoSpaceText(const QString& folder, qint64 needed, qint64 free)
{
    // Figures that round alike would read as enough.
    const bool exact = SizeText(needed) == SizeText(free);
    return GetTextString(TEXT::NoSpace).arg(folder, SizeText(needed, exact), SizeText(free, exact));
}

QString FolderNotWritableText(const QString& folder, const QString& reason)
{
    return GetTextString(TEXT::FolderNotWritable).arg(folder, reason);
}

QString RollbackIncompleteText(const QStringList& problems)
{
    return GetTextString(TEXT::RollbackIncomplete) + u'\n' + problems.join(u'\n');
}

// The steps whose failures leave a product that cannot be repaired or removed.
QString RegistryStepName()
{
    return GetTextString(TEXT::RegistryStepName);
}

QString RegistrationStepName()
{
    return GetTextString(TEXT::RegistrationStepName);
}

QString StepIncompleteText(const QString& step, const QString& reason)
{
    return GetTextString(TEXT::StepIncomplete).arg(step, reason);
}

}  // namespace

QString SpaceNeededLine(CInstallEngine& engine)
{
    std::vector<CInstallEngine::SpaceNeed> needs;
    if (!engine.MeasureSpace(needs))
        return {};
    QStringList parts;
    for (const CInstallEngine::SpaceNeed& need : needs) {
        if (needs.size() == 1)
            parts << GetTextString(TEXT::SpaceNeeded).arg(SizeText(need.needed), SizeText(need.free));
        else
            parts << GetTextString(TEXT::SpaceNeededIn)
                         .arg(need.folder, SizeText(need.needed), SizeText(need.free));
    }
    return parts.join(GetTextString(TEXT::SpaceSeparator));
}

QString InterruptedRunText(const QString& product, CRollback::Recovered recovered,
                           const QStringList& problems)
{
    switch (recovered) {
    case CRollback::Recovered::Committed: {
        // The run had succeeded; only the previous files it kept were still there.
        const QString text = GetTextString(TEXT::InterruptedCleanedUp).arg(product);
        if (problems.isEmpty())
            return text;
        return text + u'\n' + GetTextString(TEXT::OldFilesKept) + u'\n' + problems.join(u'\n');
    }
    case CRollback::Recovered::Unreadable:
        return GetTextString(TEXT::InterruptedUnreadable).arg(product) + u'\n' + problems.join(u'\n');
    case CRollback::Recovered::Nothing:
    case CRollback::Recovered::Undone:
        break;
    }
    const QString text = GetTextString(TEXT::InterruptedUndone).arg(product);
    return problems.isEmpty() ? text : text + u'\n' + RollbackIncompleteText(problems);
}

QString SecondInstanceText()
{
    return GetTextString(TEXT::SecondInstance);
}

QString ShortcutSkippedText(const QString& link)
{
    return GetTextString(TEXT::ShortcutSkipped).arg(link);
}

void CWorkProcedures::CreateShortcuts(bool desktop, bool quickLaunch)
{
    const CInstallEngine::ShortcutsMade made = m_engine.CreateShortcuts(desktop, quickLaunch);
    QStringList lines;
    for (const QString& link : made.skipped)
        lines << ShortcutSkippedText(link);
    if (!made.failures.isEmpty())
        lines << GetTextString(TEXT::ShortcutsFailed) << made.failures;
    if (!lines.isEmpty())
        m_messageBox.Show(lines.join(u'\n'), QString(), MessageIcon::Warning, MessageButtons::Ok);
}

CWorkProcedures::CWorkProcedures(CInstallEngine& engine, CProcedureView& view, CMessageBox& messageBox)
    : m_engine(engine), m_view(view), m_messageBox(messageBox)
{
}

bool CWorkProcedures::CheckRunningProgram()
{
    std::uint32_t window = 0;
    if (!m_engine.FindRunningProgram(&window))
        return true;
    const QString& product = m_engine.Manifest.version.prog;
    const MessageAnswer answer = m_messageBox.Show(FormatMessage(1102, {product, product}), QString(),
                                                   MessageIcon::Question, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes)
        PLATFORM::RequestWindowClose(window);
    return false;
}

void CWorkProcedures::Step(const QString& stepLine, const QString& overallLine, int overall)
{
    m_view.SetStatusText(StatusLine::Step, stepLine);
    m_view.SetStatusText(StatusLine::Overall, overallLine);
    m_view.SetOverallBar(overall);
    m_view.Repaint();
    m_view.Pump();
}

void CWorkProcedures::LogStart(const QString& procedure, const QString& folder)
{
    m_engine.Log.Write(
        QStringLiteral("%1 %2, folder %3").arg(procedure, m_engine.Manifest.version.prog, folder));
}

bool CWorkProcedures::CheckBeforeWriting()
{
    // A package that cannot be measured is not checked here: the file step
    // meets the same fault and reports it.
    std::vector<CInstallEngine::SpaceNeed> needs;
    CFailure unmeasured;
    if (!m_engine.MeasureSpace(needs, &unmeasured))
        m_engine.Log.Write(QStringLiteral("space needed not measured: ") + unmeasured.Text());
    for (const CInstallEngine::SpaceNeed& need : needs) {
        if (need.needed <= need.free)
            continue;
        m_engine.Log.Failed(QStringLiteral("not enough space for %1: %2 bytes needed, %3 free")
                                .arg(need.folder)
                                .arg(need.needed)
                                .arg(need.free));
        m_messageBox.Show(NoSpaceText(need.folder, need.needed, need.free), QString(), MessageIcon::Warning,
                          MessageButtons::Ok);
        return false;
    }
    if (!m_engine.ProbeInstallFolder()) {
        m_messageBox.Show(FolderNotWritableText(m_engine.InstallFolder, m_engine.LastError().cause),
                          QString(), MessageIcon::Warning, MessageButtons::Ok);
        return false;
    }
    return true;
}

ProcedureResult CWorkProcedures::FileStepFailed()
{
    // What the run changed is undone; the buttons stay disabled because the
    // view closes. The reason goes on the line after the message, so a user
    // can act on it, and what could not be put back after that.
    QString text = FormatMessage(1106);
    if (m_engine.LastError().IsSet())
        text += u'\n' + m_engine.LastError().Text();
    const QStringList problems = m_engine.RollBackChanges();
    if (!problems.isEmpty())
        text += u'\n' + RollbackIncompleteText(problems);
    m_messageBox.Show(text, QString(), MessageIcon::Warning, MessageButtons::Ok);
    m_view.Close(true);
    return ProcedureResult::Failed;
}

ProcedureResult CWorkProcedures::Install()
{
    if (!CheckBeforeWriting())
        return ProcedureResult::NotStarted;
    LogStart(QStringLiteral("install"), m_engine.InstallFolder);
    const QString installing = FormatMessage(1302, {m_engine.Manifest.version.prog});
    return DeploySteps(RunMode::Install, FormatMessage(1312),
                       {{{FormatMessage(1314), installing},
                         {FormatMessage(1315), installing},
                         {FormatMessage(1316), installing},
                         {FormatMessage(1317), installing}}});
}

ProcedureResult CWorkProcedures::Upgrade()
{
    if (!CheckBeforeWriting())
        return ProcedureResult::NotStarted;
    LogStart(QStringLiteral("upgrade"), m_engine.InstallFolder);
    // The step line keeps its text; the steps go to the overall line.
    const QString stepLine = FormatMessage(1405);
    return DeploySteps(RunMode::Upgrade, stepLine,
                       {{{stepLine, FormatMessage(1406)},
                         {stepLine, FormatMessage(1315)},
                         {stepLine, FormatMessage(1316)},
                         {stepLine, FormatMessage(1317)}}});
}

ProcedureResult CWorkProcedures::DeploySteps(RunMode mode, const QString& firstStepLine,
                                             const std::array<StepLines, 4>& lines)
{
    CViewStepProgress progress(m_view);

    m_view.ShowPage(mode, WizardPage::Installing);
    // Only the user's cancel of an earlier run goes; a signal's stays.
    SetCancelFlag(false);
    m_view.SetStatusText(StatusLine::Step, firstStepLine);
    m_view.SetStatusText(StatusLine::Overall, FormatMessage(1313));
    m_view.Repaint();
    m_view.EnableCancelButtons(false);
    Pause(1000);

    // Overall position, then the pause after each step; the files come after a
    // pause of their own so the first line is seen.
    Step(lines[0].step, lines[0].overall, 40);
    Pause(1000);
    m_engine.BeginChanges();
    if (!m_engine.DeployFiles(&progress))
        return FileStepFailed();

    Step(lines[1].step, lines[1].overall, 70);
    StepFailures failures;
    Checked(failures, RegistryStepName(), [&] { m_engine.DeployRegistry(); });
    Pause(1000);

    Step(lines[2].step, lines[2].overall, 90);
    m_engine.CreateShortcuts(false, false);
    Pause(500);

    Step(lines[3].step, lines[3].overall, 100);
    Checked(failures, RegistrationStepName(), [&] { m_engine.RegisterUninstall(); });
    // The run has ended: what was kept for undoing it goes. A failed
    // registration step is said, not undone.
    m_engine.CommitChanges();
    Pause(500);

    m_view.EnableCancelButtons(true);
    return Finish(failures, mode, WizardPage::Shortcuts);
}

void CWorkProcedures::Checked(StepFailures& failures, const QString& step, const std::function<void()>& run)
{
    const int before = m_engine.FailureCount();
    run();
    if (m_engine.FailureCount() != before)
        failures.push_back({step, m_engine.LastError().Text()});
}

ProcedureResult CWorkProcedures::Finish(const StepFailures& failures, RunMode mode, WizardPage page)
{
    // The run went on after a step's failure; now the user hears what is
    // missing, and the run does not count as done.
    for (const auto& [step, reason] : failures)
        m_messageBox.Show(StepIncompleteText(step, reason), QString(), MessageIcon::Warning,
                          MessageButtons::Ok);
    m_view.ShowPage(mode, page);
    return failures.empty() ? ProcedureResult::Completed : ProcedureResult::Incomplete;
}

ProcedureResult CWorkProcedures::Repair()
{
    if (!CheckBeforeWriting())
        return ProcedureResult::NotStarted;
    LogStart(QStringLiteral("repair"), m_engine.InstallFolder);
    // No pauses, no pumping between steps and no new status texts. The
    // overall bar is hidden on this page; its positions only tell a console
    // how far the repair has come.
    const QString stepLine = FormatMessage(1505);
    CViewStepProgress progress(m_view);
    auto step = [&](int overall) {
        m_view.SetOverallBar(overall);
        m_view.Repaint();
    };

    m_view.ShowPage(RunMode::Repair, WizardPage::Installing);
    m_view.SetStatusText(StatusLine::Step, stepLine);
    m_view.SetStatusText(StatusLine::Overall, QString());
    m_view.EnableCancelButtons(false);
    m_view.Repaint();

    m_engine.BeginChanges();
    if (!m_engine.DeployFiles(&progress))
        return FileStepFailed();
    step(70);
    StepFailures failures;
    Checked(failures, RegistryStepName(), [&] { m_engine.DeployRegistry(); });
    // Shortcuts before the registration, as in the install: the registration
    // takes the main program's path, which the shortcut step records, as the
    // entry's icon.
    step(90);
    m_engine.CreateShortcuts(false, false);
    step(100);
    Checked(failures, RegistrationStepName(), [&] { m_engine.RegisterUninstall(); });
    // The run has ended: what was kept for undoing it goes. A failed
    // registration step is said, not undone.
    m_engine.CommitChanges();

    m_view.EnableCancelButtons(true);
    return Finish(failures, RunMode::Repair, WizardPage::Shortcuts);
}

ProcedureResult CWorkProcedures::RunProcedure(RunMode mode)
{
    if (mode == RunMode::Upgrade)
        return Upgrade();
    if (mode == RunMode::Repair)
        return Repair();
    return Install();
}

ProcedureResult CWorkProcedures::Remove()
{
    const RunMode mode = m_engine.Mode;
    const QString overallLine = FormatMessage(1604, {m_engine.Manifest.version.prog});
    CViewStepProgress progress(m_view);

    m_view.ShowPage(mode, WizardPage::Removing);
    m_view.SetStatusText(StatusLine::Overall, overallLine);
    m_view.EnableCancelButtons(false);
    Step(FormatMessage(1609), overallLine, 10);
    Pause(500);

    // The whole folder goes only when the installation made it; otherwise
    // only what it put there, and the user hears that the folder stays.
    const QString folder = m_engine.RemovalFolder();
    LogStart(QStringLiteral("removal of"), folder);
    const bool whole = m_engine.OwnsInstallFolder(folder);
    const CInstallEngine::FolderRemoval removal =
        whole ? m_engine.RemoveInstallFolder(folder) : m_engine.RemoveInstalledFiles(folder);
    const bool folderRemoved = removal.removed;
    if (removal.kept != CInstallEngine::FolderKept::No) {
        m_messageBox.Show(FolderKeptText(removal.kept, folder, m_engine.Manifest.version.prog), QString(),
                          folderRemoved ? MessageIcon::Information : MessageIcon::Warning,
                          MessageButtons::Ok);
    }

    Step(FormatMessage(1610), overallLine, 50);
    m_engine.RemoveRegistration(&progress);
    Pause(500);

    Step(FormatMessage(1611), overallLine, 90);
    m_engine.RemoveShortcuts();
    Pause(500);

    m_view.SetOverallBar(100);
    m_view.Repaint();
    m_view.Pump();
    Pause(100);

    m_view.EnableCancelButtons(true);
    m_view.ShowPage(mode, WizardPage::Removed);
    return folderRemoved ? ProcedureResult::Completed : ProcedureResult::Incomplete;
}

ProcedureResult CWorkProcedures::RemoveUserData()
{
    const RunMode mode = m_engine.Mode;
    CViewStepProgress progress(m_view);
    auto stepBar = [&](int position, int pause) {
        m_view.SetStepBar(position);
        m_view.Repaint();
        m_view.Pump();
        Pause(pause);
    };

    m_view.ShowPage(mode, WizardPage::RemovingUserData);
    m_view.SetStatusText(StatusLine::Step, FormatMessage(1615));
    m_view.EnableCancelButtons(false);
    stepBar(10, 300);

    m_engine.RemoveUserData(&progress);

    stepBar(50, 300);
    stepBar(80, 300);
    stepBar(100, 100);

    m_view.EnableCancelButtons(true);
    m_view.ShowPage(mode, WizardPage::UserDataRemoved);
    DeleteRunningCopy();
    return ProcedureResult::Completed;
}

void CWorkProcedures::DeleteRunningCopy()
{
    // Linux lets a running program's file go at once. Only the removal copy in
    // the temporary folder goes: an installer the user started from elsewhere
    // with -douninstall is the user's file, not ours to delete.
    const QString path = QFileInfo(m_engine.ModulePath).absoluteFilePath();
    const QString temp = GetTempDirectory();
    if (temp.isEmpty() || !path.startsWith(temp) || path.mid(temp.size()).contains(u'/'))
        return;
    if (Programs->RemoveRunningExecutable(path))
        m_engine.Log.Removed(path);
}

bool CWorkProcedures::HandOverRemoval()
{
    // The reserved file itself becomes the copy, so no empty file stays behind.
    const QString copy = CreateTempFileName(QStringLiteral("UN"));
    if (copy.isEmpty())
        return m_engine.Fail({GetTextString(TEXT::ReasonNoTempFile), GetTempDirectory(),
                              GetTextString(TEXT::ReasonTempFolderNotPrivate)});
    PLATFORM::FileWriteOptions options;
    options.exactMode = 0700;  // the copy is this user's program and no one else's
    CFailure failure;
    if (!PLATFORM::CopyFileInPlace(m_engine.ModulePath, copy, options, &failure)) {
        Programs->RemoveRunningExecutable(copy);
        return m_engine.Fail(failure);
    }
    m_engine.Log.FileWritten(copy, QFileInfo(copy).size());
    const QStringList arguments = {QStringLiteral("-douninstall"),
                                   m_engine.ModuleFolder + QStringLiteral("uninstall.xml")};
    if (!Programs->StartDetached(copy, arguments)) {
        Programs->RemoveRunningExecutable(copy);
        return m_engine.Fail(
            {GetTextString(TEXT::ReasonCannotStart), copy, GetTextString(TEXT::ReasonDidNotStart)});
    }
    m_view.Close(true);
    return true;
}

void CWorkProcedures::FinishActions(bool companionChecked, bool startProduct)
{
    if (m_view.NeedCompanionEditor())
        m_view.InstallCompanionEditor(companionChecked);
    if (startProduct && !m_engine.Manifest.mainprogPath.isEmpty()
        && !Programs->OpenProgram(m_engine.Manifest.mainprogPath))
        m_engine.Fail({GetTextString(TEXT::ReasonCannotStart), m_engine.Manifest.mainprogPath,
                       GetTextString(TEXT::ReasonNoHandler)});
    m_view.Close(true);
}
