// Registration in the list of installed programs with uninstall.xml beside the
// program, and the removal of the registry data and the user's data.
#include "common/Clock.h"
#include "common/MessageTable.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "engine/StepProgress.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>

#include <algorithm>

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;

namespace {

const int kStepPause = 300;

}  // namespace

bool CInstallEngine::RegisterUninstall()
{
    const QString manifestPath = InstallFolder + QStringLiteral("uninstall.xml");
    // The previous uninstall.xml and entry come back if the run is undone.
    Changes.NoteFile(manifestPath);
    if (IsSingleName(Manifest.info.prog)) {
        for (const char* name : {"DisplayName", "UninstallString", "DisplayIcon", "Publisher", "HelpLink",
                                 "DisplayVersion", "InstallLocation", "EstimatedSize"})
            Changes.NoteValue(RegRoot::LocalMachine, UninstallKeyPath(Manifest.info.prog),
                              QString::fromLatin1(name));
    }
    CFailure saveFailure;
    if (!Changes.Flush(&saveFailure) || !Changes.KeepAside(manifestPath, &saveFailure))
        Fail(saveFailure);
    else if (Manifest.SaveFile(manifestPath, QStringLiteral("install"), WriteManifest, &Manifest,
                               &saveFailure))
        Log.FileWritten(manifestPath, QFileInfo(manifestPath).size());
    else
        Fail(saveFailure);

    // Without a usable product name the values would land in the list's own key.
    if (!IsSingleName(Manifest.info.prog)) {
        Fail({GetTextString(TEXT::CannotRegisterProduct), Manifest.info.prog,
              GetTextString(TEXT::NotPlainProductName)});
        return true;
    }
    const RegRoot machine = RegRoot::LocalMachine;
    const QString key = UninstallKeyPath(Manifest.info.prog);
    SetRegistryString(machine, key, Manifest.version.prog, QStringLiteral("DisplayName"));
    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        if (link.type != QLatin1String("uninstall"))
            continue;
        SetRegistryString(machine, key, ExpandPathMacros(link.path), QStringLiteral("UninstallString"));
        SetRegistryString(machine, key, Manifest.mainprogPath, QStringLiteral("DisplayIcon"));
    }
    SetRegistryString(machine, key, Manifest.info.company, QStringLiteral("Publisher"));
    SetRegistryString(machine, key, Manifest.info.help, QStringLiteral("HelpLink"));
    SetRegistryString(machine, key, Manifest.version.ver, QStringLiteral("DisplayVersion"));
    SetRegistryString(machine, key, InstallFolder, QStringLiteral("InstallLocation"));
    // Kilobytes in a 32-bit value: products above 4 TiB show the largest size.
    const qint64 kib = std::max<qint64>(Manifest.installedSize, 0) / 1024;
    const quint32 size = static_cast<quint32>(std::min<qint64>(kib, 0xFFFFFFFF));
    SetRegistryValue(machine, key, QStringLiteral("EstimatedSize"), PLATFORM::RegDword,
                     CRegistry::DwordData(size));
    return true;
}

bool CInstallEngine::RemoveRegistration(CStepProgress* progress)
{
    // Keys the manifest only deleted were never ours to remove.
    for (const CInstRegInfo& key : Manifest.registry) {
        if (!key.values.empty())
            DeleteRegistryTree(ManifestRegRoot(key.rootkey), key.subkey);
    }
    ShowStepPosition(progress, 50);
    Pause(kStepPause);

    // Empty values mean "not installed"; other per-user settings stay.
    if (!ProductKey.isEmpty()) {
        SetRegistryString(RegRoot::CurrentUser, ProductKey, QString(), QStringLiteral("InstallPath"));
        SetRegistryString(RegRoot::CurrentUser, ProductKey, QString(), QStringLiteral("Version"));
    }
    if (IsSingleName(Manifest.info.prog))
        DeleteRegistryTree(RegRoot::LocalMachine, UninstallKeyPath(Manifest.info.prog));
    ShowStepPosition(progress, 90);
    Pause(kStepPause);
    return true;
}

bool CInstallEngine::RemoveUserData(CStepProgress* progress)
{
    // Without a product name the key and folder would be every product's.
    const bool named = IsSingleName(Manifest.info.prog);
    if (named && !ProductKey.isEmpty())
        DeleteRegistryTree(RegRoot::CurrentUser, ProductKey);
    ShowStepPosition(progress, 50);
    Pause(kStepPause);
    if (named)
        RemoveFolder(PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/") + Manifest.info.prog + u'/');
    return true;
}
