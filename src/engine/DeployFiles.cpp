// File deployment: every manifest file entry out of the package into its
// folder, with the step bar, message pumping, a pause per file and cancel.
#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "database/InstallCabDB.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "engine/StepProgress.h"

#include <QFileInfo>

QString CInstallEngine::FileTarget(const CInstFileInfo& file, CFailure& failure) const
{
    // Manifests written for Windows (drive paths, no macro) do not map
    // to a place here; neither may a name climb out of its folder.
    // A name written on Windows may hold '\\': a path below the folder.
    const QString folder = ExpandPathMacros(file.path);
    const QString name = RelativeFileName(file.name);
    if (!folder.startsWith(u'/')) {
        failure = {GetTextString(TEXT::CannotInstallFileInto).arg(file.name), folder,
                   GetTextString(TEXT::NotAbsolutePath)};
        return {};
    }
    if (name.isEmpty()) {
        failure = {GetTextString(TEXT::CannotInstall), file.name, GetTextString(TEXT::NotBelowFolder)};
        return {};
    }
    return WithOneSlash(folder) + name;
}

CInstallEngine::DeployPlan CInstallEngine::PlanDeployment() const
{
    DeployPlan plan;
    for (const CInstFileInfo& file : Manifest.files) {
        if (file.action == kNoDeploy)
            continue;
        ++plan.count;
        if (plan.stop.IsSet())
            continue;
        const QString target = FileTarget(file, plan.stop);
        if (!target.isEmpty())
            plan.files.push_back({file.name, target});
    }
    return plan;
}

bool CInstallEngine::DeployFiles(CStepProgress* progress)
{
    const int count = static_cast<int>(Manifest.files.size());
    // A small package still takes about a second, so each step is seen.
    const int pause = count < 10 ? 1000 / (count + 1) : 1;

    Manifest.installedSize = 0;
    // A relative folder would land below whatever the working folder is.
    if (!InstallFolder.startsWith(u'/'))
        return Fail(
            {GetTextString(TEXT::CannotInstallInto), InstallFolder, GetTextString(TEXT::NotAbsolutePath)});
    // Only a folder this installation made may later be removed whole.
    if (Mode == RunMode::Install)
        InstallFolderCreated = !QFileInfo::exists(InstallFolder) && !QFileInfo(InstallFolder).isSymLink();

    // Everything the step may create or replace is noted, and the notes
    // reach the disk in one go, before the first write. The step stops at
    // the plan's stop, so nothing after it is noted.
    const DeployPlan plan = PlanDeployment();
    Changes.NoteFolders(InstallFolder);
    for (const DeployPlan::File& file : plan.files) {
        Changes.NoteFolders(file.target.left(file.target.lastIndexOf(u'/')));
        Changes.NoteFile(file.target);
    }
    CFailure failure;
    if (!Changes.Flush(&failure))
        return Fail(failure);

    if (!CreateFolders(WithOneSlash(InstallFolder)))
        return false;
    ShowStepPosition(progress, 10);
    PumpMessages();

    // One open package serves every entry; it closes when the step ends.
    m_package->KeepPackageOpen(true);
    struct Closing {
        CInstallCabDB& package;
        ~Closing() { package.KeepPackageOpen(false); }
    } closing{*m_package};
    int deployed = 0;
    for (const DeployPlan::File& file : plan.files) {
        if (!CreateFolders(file.target))
            return false;
        int length = 0;
        // A repair or an upgrade leaves a file that is already exactly the
        // entry as it is: nothing is written, so nothing is to be undone.
        if (!InstalledFileIsCurrent(file.name, file.target, &length)) {
            if (!Changes.KeepAside(file.target, &failure))
                return Fail(failure);
            if (!ExtractPackageFile(file.name, file.target, true, &length))
                return false;
        }
        Manifest.installedSize += length;

        ++deployed;
        ShowStepPosition(progress, 10 + 90 * deployed / plan.count);
        // A cancel reported here takes effect inside the next extraction.
        PumpMessages();
        Pause(pause);
    }
    if (plan.stop.IsSet())
        return Fail(plan.stop);
    return true;
}
