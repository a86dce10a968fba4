// Names the install steps share: the registry roots of the manifest, the
// uninstall entry's key, the test for a product or link name that is safe
// to put into a path or key.
#pragma once

#include "platform/Registry.h"

#include <QString>

// "HKLM" and "HKCR" (exact case) name their roots; anything else is HKCU.
PLATFORM::RegRoot ManifestRegRoot(const QString& rootkey);

// The uninstall entry of a product under HKLM.
QString UninstallKeyPath(const QString& prog);

// True when the text names exactly one thing inside a folder or key: not
// empty, not "." or "..", without '/' or '\'. Product and link names are
// joined to folders that steps later delete, so an empty or climbing name
// must never widen what is touched.
bool IsSingleName(const QString& name);
