// The installer's three registry helpers: read one string value, write one
// string value, delete a key tree. They show nothing and report only through
// their results.
//
// The root is PLATFORM::RegRoot: CurrentUser (HKEY_CURRENT_USER), LocalMachine
// (HKEY_LOCAL_MACHINE) or ClassesRoot (HKEY_CLASSES_ROOT). A subkey is a
// '\'-separated key path below the root.
#pragma once

#include "platform/Registry.h"

#include <QString>

#include <optional>

// The value's text: its bytes taken as UTF-16 whatever its type, up to the
// first zero character or the end of the data. Empty when the key or value is
// missing or cannot be read.
QString RegQueryString(PLATFORM::RegRoot root, const QString& subkey, const QString& name);

// Writes text as a REG_SZ value with its terminating zero, creating the key
// when it is missing. No name (or an empty one) writes the key's default value.
bool RegSetString(PLATFORM::RegRoot root, const QString& subkey, const QString& text,
                  const std::optional<QString>& name = std::nullopt);

// Deletes the key with all its subkeys and values. False when the key does not
// exist, and for an empty subkey: a whole root is never deleted.
bool RegDeleteTree(PLATFORM::RegRoot root, const QString& subkey);
