// File deployment: every manifest file entry out of the package into its
// folder, with the step bar, message pumping, a pause per file and cancel.
#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "common/PumpMessages.h"
#include "database/InstallCabDB.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "engine/StepProgress.h"

#include <QFileInfo>

namespace {

}  // namespace

QString CInstallEngine::FileTarget(const CInstFileInfo& file, CFailure& failure) const
{
    // Manifests written for Windows (drive paths, no macro) do not map
    // to a place here; neither may a name climb out of its folder.
    // A name written on Windows may hold '\\': a path below the folder.
    const QString folder = ExpandPathMacros(file.path);
    const QString name = RelativeFileName(file.name);
    if (!folder.startsWith(u'/')) {
        failure = {QStringLiteral("cannot install %1 into").arg(file.name), folder,
                   QStringLiteral("not an absolute path")};
        return {};
    }
    if (name.isEmpty()) {
        failure = {QStringLiteral("cannot install"), file.name,
                   QStringLiteral("not a file name below its folder")};
        return {};
    }
    return WithOneSlash(folder) + name;
}

bool CInstallEngine::DeployFiles(CStepProgress* progress)
{
    const int count = static_cast<int>(Manifest.files.size());
    // A small package still takes about a second, so each step is seen.
    const int pause = count < 10 ? 1000 / (count + 1) : 1;
    int toDeploy = 0;
    for (const CInstFileInfo& file : Manifest.files)
        toDeploy += file.action != kNoDeploy ? 1 : 0;

    Manifest.installedSize = 0;
    // A relative folder would land below whatever the working folder is.
    if (!InstallFolder.startsWith(u'/'))
        return Fail(
            {QStringLiteral("cannot install into"), InstallFolder, QStringLiteral("not an absolute path")});
    // Only a folder this installation made may later be removed whole.
    if (Mode == RunMode::Install)
        InstallFolderCreated = !QFileInfo::exists(InstallFolder) && !QFileInfo(InstallFolder).isSymLink();

    // Everything the step may create or replace is noted, and the notes
    // reach the disk in one go, before the first write.
    Changes.NoteFolders(InstallFolder);
    for (const CInstFileInfo& file : Manifest.files) {
        if (file.action == kNoDeploy)
            continue;
        CFailure ignored;
        const QString target = FileTarget(file, ignored);
        if (target.isEmpty())
            break;  // the step stops there
        Changes.NoteFolders(target.left(target.lastIndexOf(u'/')));
        Changes.NoteFile(target);
    }
    CFailure failure;
    if (!Changes.Flush(&failure))
        return Fail(failure);

    if (!CreateFolders(WithOneSlash(InstallFolder)))
        return false;
    ShowStepPosition(progress, 10);
    PumpMessages();

    // One open package serves every entry; it closes when the step ends.
    m_openPackage = std::make_unique<CInstallCabDB>();
    m_openPackage->KeepPackageOpen(true);
    struct Closing {
        std::unique_ptr<CInstallCabDB>& package;
        ~Closing() { package.reset(); }
    } closing{m_openPackage};
    int deployed = 0;
    for (const CInstFileInfo& file : Manifest.files) {
        if (file.action == kNoDeploy)
            continue;
        const QString target = FileTarget(file, failure);
        if (target.isEmpty())
            return Fail(failure);
        if (!CreateFolders(target))
            return false;
        int length = 0;
        // A repair or an upgrade leaves a file that is already exactly the
        // entry as it is: nothing is written, so nothing is to be undone.
        if (!InstalledFileIsCurrent(file.name, target, &length)) {
            if (!Changes.KeepAside(target, &failure))
                return Fail(failure);
            if (!ExtractPackageFile(file.name, target, true, &length))
                return false;
        }
        Manifest.installedSize += length;

        ++deployed;
        ShowStepPosition(progress, 10 + 90 * deployed / toDeploy);
        // A cancel reported here takes effect inside the next extraction.
        PumpMessages();
        Pause(pause);
    }
    return true;
}
