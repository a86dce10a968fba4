// Registration in the list of installed programs with uninstall.xml beside the
// program, and the removal of the registry data and the user's data.
#include "engine/InstallEngine.h"

#include "common/Clock.h"
#include "common/FileHelpers.h"
#include "engine/EngineNames.h"
#include "engine/RegistryHelpers.h"
#include "engine/StepProgress.h"
#include "platform/SpecialFolders.h"

#include <algorithm>

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;

namespace {

const int kStepPause = 300;

}  // namespace

bool CInstallEngine::RegisterUninstall()
{
    Manifest.Save(InstallFolder + QStringLiteral("uninstall.xml"), QStringLiteral("install"), WriteManifest,
                  &Manifest);

    // Without a usable product name the values would land in the list's own key.
    if (!IsSingleName(Manifest.info.prog))
        return true;
    const RegRoot machine = RegRoot::LocalMachine;
    const QString key = UninstallKeyPath(Manifest.info.prog);
    RegSetString(machine, key, Manifest.version.prog, QStringLiteral("DisplayName"));
    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        if (link.type != QLatin1String("uninstall"))
            continue;
        RegSetString(machine, key, ExpandPathMacros(link.path), QStringLiteral("UninstallString"));
        RegSetString(machine, key, Manifest.mainprogPath, QStringLiteral("DisplayIcon"));
    }
    RegSetString(machine, key, Manifest.info.company, QStringLiteral("Publisher"));
    RegSetString(machine, key, Manifest.info.help, QStringLiteral("HelpLink"));
    RegSetString(machine, key, Manifest.version.ver, QStringLiteral("DisplayVersion"));
    RegSetString(machine, key, InstallFolder, QStringLiteral("InstallLocation"));
    // Kilobytes in a 32-bit value: products above 4 TiB show the largest size.
    const qint64 kib = std::max<qint64>(Manifest.installedSize, 0) / 1024;
    const quint32 size = static_cast<quint32>(std::min<qint64>(kib, 0xFFFFFFFF));
    CRegistry::SetValue(machine, key, QStringLiteral("EstimatedSize"), PLATFORM::RegDword,
                        CRegistry::DwordData(size));
    return true;
}

bool CInstallEngine::RemoveRegistration(CStepProgress* progress)
{
    // Keys the manifest only deleted were never ours to remove.
    for (const CInstRegInfo& key : Manifest.registry) {
        if (!key.values.empty())
            RegDeleteTree(ManifestRegRoot(key.rootkey), key.subkey);
    }
    ShowStepPosition(progress, 50);
    Pause(kStepPause);

    // Empty values mean "not installed"; other per-user settings stay.
    if (!ProductKey.isEmpty()) {
        RegSetString(RegRoot::CurrentUser, ProductKey, QString(), QStringLiteral("InstallPath"));
        RegSetString(RegRoot::CurrentUser, ProductKey, QString(), QStringLiteral("Version"));
    }
    if (IsSingleName(Manifest.info.prog))
        RegDeleteTree(RegRoot::LocalMachine, UninstallKeyPath(Manifest.info.prog));
    ShowStepPosition(progress, 90);
    Pause(kStepPause);
    return true;
}

bool CInstallEngine::RemoveUserData(CStepProgress* progress)
{
    // Without a product name the key and folder would be every product's.
    const bool named = IsSingleName(Manifest.info.prog);
    if (named && !ProductKey.isEmpty())
        RegDeleteTree(RegRoot::CurrentUser, ProductKey);
    ShowStepPosition(progress, 50);
    Pause(kStepPause);
    if (named)
        DeleteDirectoryTree(PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/") + Manifest.info.prog + u'/');
    return true;
}
