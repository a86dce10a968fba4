#include "engine/EngineNames.h"

PLATFORM::RegRoot ManifestRegRoot(const QString& rootkey)
{
    if (rootkey == QLatin1String("HKLM"))
        return PLATFORM::RegRoot::LocalMachine;
    if (rootkey == QLatin1String("HKCR"))
        return PLATFORM::RegRoot::ClassesRoot;
    return PLATFORM::RegRoot::CurrentUser;
}

QString RegistryKeyName(PLATFORM::RegRoot root, const QString& subkey)
{
    return subkey.isEmpty() ? PLATFORM::RootName(root) : PLATFORM::RootName(root) + u'\\' + subkey;
}

QString UninstallKeyPath(const QString& prog)
{
    return QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + prog;
}
