// Registry deployment: the per-user location values, then the manifest's
// registry entries in document order, so an entry can clear a key that a
// later one rebuilds.
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"

bool CInstallEngine::DeployRegistry()
{
    const PLATFORM::RegRoot user = PLATFORM::RegRoot::CurrentUser;
    // What the step will change is noted first, in one journal write.
    Changes.NoteValue(user, ProductKey, QStringLiteral("InstallPath"));
    Changes.NoteValue(user, ProductKey, QStringLiteral("Version"));
    Changes.NoteValue(user, ProductKey, QString::fromUtf16(kFolderCreatedValue));
    for (const CInstRegInfo& key : Manifest.registry) {
        const PLATFORM::RegRoot root = ManifestRegRoot(key.rootkey);
        if (key.action == QLatin1String("del")) {
            Changes.NoteTree(root, key.subkey);
            continue;
        }
        for (const CInstRegKeyInfo& value : key.values)
            Changes.NoteValue(root, key.subkey, value.name == QLatin1String("@") ? QString() : value.name);
    }
    CFailure failure;
    if (!Changes.Flush(&failure))
        Fail(failure);  // each write then tries again, and is skipped when it fails too
    SetRegistryString(user, ProductKey, InstallFolder, QStringLiteral("InstallPath"));
    SetRegistryString(user, ProductKey, Manifest.version.ver, QStringLiteral("Version"));
    // An upgrade or repair keeps what the first installation recorded.
    if (Mode == RunMode::Install)
        SetRegistryValue(user, ProductKey, QString::fromUtf16(kFolderCreatedValue), PLATFORM::RegDword,
                         PLATFORM::CRegistry::DwordData(InstallFolderCreated ? 1 : 0));

    for (const CInstRegInfo& key : Manifest.registry) {
        const PLATFORM::RegRoot root = ManifestRegRoot(key.rootkey);
        if (key.action == QLatin1String("del")) {
            DeleteRegistryTree(root, key.subkey);
            continue;
        }
        // Subkeys are registry paths and stay literal; only data holds macros.
        for (const CInstRegKeyInfo& value : key.values) {
            const QString text = ExpandPathMacros(value.data);
            if (value.name == QLatin1String("@"))
                SetRegistryString(root, key.subkey, text);
            else
                SetRegistryString(root, key.subkey, text, value.name);
        }
    }
    return true;
}
