// Names the install steps share: the registry roots of the manifest, the
// uninstall entry's key, the test for a product or link name that is safe
// to put into a path or key.
#pragma once

#include "common/FileHelpers.h"
#include "platform/Registry.h"

#include <QString>

// A file entry's action that leaves the file in the package.
inline const QString kNoDeploy = QStringLiteral("nodw");

// "HKLM" and "HKCR" (exact case) name their roots; anything else is HKCU.
PLATFORM::RegRoot ManifestRegRoot(const QString& rootkey);

// "HKEY_CURRENT_USER\\Software\\..." for messages and the log; the root
// alone for an empty subkey.
QString RegistryKeyName(PLATFORM::RegRoot root, const QString& subkey);

// The uninstall entry of a product under HKLM.
QString UninstallKeyPath(const QString& prog);

// The product key's value that records whether the installation created its
// folder (a REG_DWORD, 1 or 0), kept beside InstallPath.
inline constexpr char16_t kFolderCreatedValue[] = u"InstallFolderCreated";
