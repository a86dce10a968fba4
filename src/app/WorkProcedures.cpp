#include "app/WorkProcedures.h"

#include "app/MessageTable.h"
#include "app/TextFormat.h"
#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/PumpMessages.h"
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

// The text in the system's language; the folder messages are not in the
// message table, so their three wordings live here.
QString InLanguage(const QString& simplified, const QString& traditional, const QString& english)
{
    const quint16 lang = GetSystemLanguageId();
    if ((lang & 0x3FF) != kLangChinesePrimary)
        return english;
    return lang == kLangChineseTaiwan ? traditional : simplified;
}

// Why the removal left the installation folder in place.
QString FolderKeptText(CInstallEngine::FolderKept reason, const QString& folder, const QString& product)
{
    using Kept = CInstallEngine::FolderKept;
    switch (reason) {
    case Kept::Link:
        return InLanguage(QStringLiteral("文件夹“%1”是一个符号链接，因此没有删除其中的任何内容。"
                                         "如果不再需要，请自行删除。"),
                          QStringLiteral("資料夾「%1」是一個符號連結，因此沒有刪除其中的任何內容。"
                                         "如果不再需要，請自行刪除。"),
                          QStringLiteral("The folder \"%1\" is a symbolic link, so nothing in it was "
                                         "deleted. Delete it yourself if you no longer need it."))
            .arg(folder);
    case Kept::NotDeleted:
        return InLanguage(QStringLiteral("文件夹“%1”中的部分内容无法删除（没有权限或正在使用）。"
                                         "如果不再需要，请自行删除。"),
                          QStringLiteral("資料夾「%1」中的部分內容無法刪除（沒有權限或正在使用）。"
                                         "如果不再需要，請自行刪除。"),
                          QStringLiteral("Some of the folder \"%1\" could not be deleted (no permission, "
                                         "or in use). Delete it yourself if you no longer need it."))
            .arg(folder);
    case Kept::OtherFiles:
        // Only the product's files and the folders they left empty go, so
        // the folder may stay empty: it was there, not necessarily with files.
        return InLanguage(QStringLiteral("文件夹“%1”在安装前就已存在，因此保留了该文件夹，"
                                         "只删除了 %2 安装的内容。"),
                          QStringLiteral("資料夾「%1」在安裝前就已存在，因此保留了該資料夾，"
                                         "只刪除了 %2 安裝的內容。"),
                          QStringLiteral("The folder \"%1\" was there before the installation, so "
                                         "it was kept; only what %2 installed was removed."))
            .arg(folder, product);
    case Kept::NotOurs:
    case Kept::No:
        break;
    }
    return InLanguage(QStringLiteral("文件夹“%1”看起来不是本产品的安装文件夹，因此未被删除。"
                                     "如果不再需要，请自行删除。"),
                      QStringLiteral("資料夾「%1」看起來不是本產品的安裝資料夾，因此未被刪除。"
                                     "如果不再需要，請自行刪除。"),
                      QStringLiteral("The folder \"%1\" was not deleted because it does not look like "
                                     "this product's installation folder. Delete it yourself if you "
                                     "no longer need it."))
        .arg(folder);
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
    return InLanguage(QStringLiteral("文件夹“%1”所在的磁盘空间不足：需要 %2，可用 %3。"
                                     "请释放一些空间或选择其他文件夹后重试。"),
                      QStringLiteral("資料夾「%1」所在的磁碟空間不足：需要 %2，可用 %3。"
                                     "請釋放一些空間或選擇其他資料夾後重試。"),
                      QStringLiteral("There is not enough free space for the folder \"%1\": %2 needed, %3 "
                                     "free. Free some space or choose another folder, then try again."))
        .arg(folder, SizeText(needed, exact), SizeText(free, exact));
}

QString FolderNotWritableText(const QString& folder, const QString& reason)
{
    return InLanguage(QStringLiteral("无法在文件夹“%1”中安装：%2。请选择其他文件夹后重试。"),
                      QStringLiteral("無法在資料夾「%1」中安裝：%2。請選擇其他資料夾後重試。"),
                      QStringLiteral("The product cannot be installed in the folder \"%1\": %2. Choose "
                                     "another folder, then try again."))
        .arg(folder, reason);
}

QString RollbackIncompleteText(const QStringList& problems)
{
    return InLanguage(QStringLiteral("已撤销的更改中有以下几项无法恢复，请手动处理："),
                      QStringLiteral("已撤銷的變更中有以下幾項無法復原，請手動處理："),
                      QStringLiteral("Some changes could not be undone; please see to them yourself:"))
        + u'\n' + problems.join(u'\n');
}

// The steps whose failures leave a product that cannot be repaired or removed.
QString RegistryStepName()
{
    return InLanguage(QStringLiteral("注册程序信息"), QStringLiteral("註冊程式資訊"),
                      QStringLiteral("Registering the program information"));
}

QString RegistrationStepName()
{
    return InLanguage(QStringLiteral("创建卸载信息"), QStringLiteral("建立解除安裝資訊"),
                      QStringLiteral("Creating the uninstall information"));
}

QString StepIncompleteText(const QString& step, const QString& reason)
{
    return InLanguage(
               QStringLiteral("“%1”这一步没有完成：%2\n其余步骤已完成，但本产品以后可能无法正常修复或卸载。"
                              "请解决上述问题后再次运行安装程序。"),
               QStringLiteral(
                   "「%1」這一步沒有完成：%2\n其餘步驟已完成，但本產品以後可能無法正常修復或解除安裝。"
                   "請解決上述問題後再次執行安裝程式。"),
               QStringLiteral("The step \"%1\" did not complete: %2\nThe other steps were done, but "
                              "the product may not repair or uninstall properly. Fix the problem "
                              "above and run the installer again."))
        .arg(step, reason);
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
            parts << InLanguage(QStringLiteral("需要 %1 / 可用 %2"), QStringLiteral("需要 %1 / 可用 %2"),
                                QStringLiteral("Needed %1 / free %2"))
                         .arg(SizeText(need.needed), SizeText(need.free));
        else
            parts << InLanguage(QStringLiteral("“%1”：需要 %2 / 可用 %3"),
                                QStringLiteral("「%1」：需要 %2 / 可用 %3"),
                                QStringLiteral("\"%1\": needed %2 / free %3"))
                         .arg(need.folder, SizeText(need.needed), SizeText(need.free));
    }
    return parts.join(InLanguage(QStringLiteral("；"), QStringLiteral("；"), QStringLiteral("; ")));
}

QString InterruptedRunText(const QString& product, CRollback::Recovered recovered,
                           const QStringList& problems)
{
    switch (recovered) {
    case CRollback::Recovered::Committed: {
        // The run had succeeded; only the previous files it kept were still there.
        const QString text =
            InLanguage(QStringLiteral("%1 上次的安装已经完成，但在清理时中断；清理现已完成。"),
                       QStringLiteral("%1 上次的安裝已經完成，但在清理時中斷；清理現已完成。"),
                       QStringLiteral("The last installation of %1 had finished but was stopped while "
                                      "cleaning up; the cleanup is now done."))
                .arg(product);
        if (problems.isEmpty())
            return text;
        return text + u'\n'
            + InLanguage(QStringLiteral("以下旧文件无法删除，如果不再需要，请自行删除："),
                         QStringLiteral("以下舊檔案無法刪除，如果不再需要，請自行刪除："),
                         QStringLiteral("These previous files could not be deleted; delete them yourself "
                                        "if you no longer need them:"))
            + u'\n' + problems.join(u'\n');
    }
    case CRollback::Recovered::Unreadable:
        return InLanguage(
                   QStringLiteral("%1 上次的安装没有完成，但它的更改记录无法读取，因此没有撤销任何更改。"
                                  "请检查安装的程序，必要时重新安装："),
                   QStringLiteral("%1 上次的安裝沒有完成，但它的變更記錄無法讀取，因此沒有撤銷任何變更。"
                                  "請檢查安裝的程式，必要時重新安裝："),
                   QStringLiteral("The last installation of %1 did not finish, and the record of its "
                                  "changes cannot be read, so nothing was undone. Check the "
                                  "installed program, and install it again if needed:"))
                   .arg(product)
            + u'\n' + problems.join(u'\n');
    case CRollback::Recovered::Nothing:
    case CRollback::Recovered::Undone:
        break;
    }
    const QString text = InLanguage(QStringLiteral("%1 上次的安装没有完成，它所做的更改已经撤销。"),
                                    QStringLiteral("%1 上次的安裝沒有完成，它所做的變更已經撤銷。"),
                                    QStringLiteral("The last installation of %1 did not finish; its changes "
                                                   "have been undone."))
                             .arg(product);
    return problems.isEmpty() ? text : text + u'\n' + RollbackIncompleteText(problems);
}

QString SecondInstanceText()
{
    return InLanguage(QStringLiteral("另一个安装程序正在运行。请等它结束后再试。"),
                      QStringLiteral("另一個安裝程式正在執行。請等它結束後再試。"),
                      QStringLiteral("Another installer is running. Try again when it has finished."));
}

QString ShortcutSkippedText(const QString& link)
{
    return InLanguage(QStringLiteral("快捷方式“%1”的目标含有控制字符，因此没有创建。"),
                      QStringLiteral("捷徑「%1」的目標含有控制字元，因此沒有建立。"),
                      QStringLiteral("The shortcut \"%1\" was not created: its target holds control "
                                     "characters."))
        .arg(link);
}

void CWorkProcedures::CreateShortcuts(bool desktop, bool quickLaunch)
{
    const CInstallEngine::ShortcutsMade made = m_engine.CreateShortcuts(desktop, quickLaunch);
    QStringList lines;
    for (const QString& link : made.skipped)
        lines << ShortcutSkippedText(link);
    if (!made.failures.isEmpty())
        lines << InLanguage(QStringLiteral("以下快捷方式无法创建："), QStringLiteral("以下捷徑無法建立："),
                            QStringLiteral("These shortcuts could not be created:"))
              << made.failures;
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
    return DeploySteps(RunMode::Install, 3, FormatMessage(1312),
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
    return DeploySteps(RunMode::Upgrade, 1, stepLine,
                       {{{stepLine, FormatMessage(1406)},
                         {stepLine, FormatMessage(1315)},
                         {stepLine, FormatMessage(1316)},
                         {stepLine, FormatMessage(1317)}}});
}

ProcedureResult CWorkProcedures::DeploySteps(RunMode mode, int page, const QString& firstStepLine,
                                             const std::array<StepLines, 4>& lines)
{
    CViewStepProgress progress(m_view);

    m_view.ShowPage(mode, page);
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
    return Finish(failures, mode, page + 1);
}

void CWorkProcedures::Checked(StepFailures& failures, const QString& step, const std::function<void()>& run)
{
    const int before = m_engine.FailureCount();
    run();
    if (m_engine.FailureCount() != before)
        failures.push_back({step, m_engine.LastError().Text()});
}

ProcedureResult CWorkProcedures::Finish(const StepFailures& failures, RunMode mode, int page)
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

    m_view.ShowPage(RunMode::Repair, 1);
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
    return Finish(failures, RunMode::Repair, 2);
}

ProcedureResult CWorkProcedures::Remove()
{
    const RunMode mode = m_engine.Mode;
    const QString overallLine = FormatMessage(1604, {m_engine.Manifest.version.prog});
    CViewStepProgress progress(m_view);

    m_view.ShowPage(mode, 2);
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
    m_view.ShowPage(mode, 3);
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

    m_view.ShowPage(mode, 4);
    m_view.SetStatusText(StatusLine::Step, FormatMessage(1615));
    m_view.EnableCancelButtons(false);
    stepBar(10, 300);

    m_engine.RemoveUserData(&progress);

    stepBar(50, 300);
    stepBar(80, 300);
    stepBar(100, 100);

    m_view.EnableCancelButtons(true);
    m_view.ShowPage(mode, 5);
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
        return m_engine.Fail({QStringLiteral("cannot create a temporary file in"), GetTempDirectory(),
                              QStringLiteral("the folder is missing or not private")});
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
            {QStringLiteral("cannot start"), copy, QStringLiteral("the program did not start")});
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
        m_engine.Fail({QStringLiteral("cannot start"), m_engine.Manifest.mainprogPath,
                       QStringLiteral("neither the program nor a handler for it started")});
    m_view.Close(true);
}
