// Text forms of registry data for norvex-reg: the Windows Registry Editor 5.00
// export form and the listing of a key.
#pragma once

#include "platform/DesktopEntry.h"
#include "platform/Registry.h"

#include <QString>

namespace REGTOOL {

// True for text holding a C0 control character or DEL: no key or value name
// may, and string data holding one is exported in the hex(1): form.
using PLATFORM::HasControlCharacters;

// "REG_SZ", "REG_DWORD", ... or "0x<type>" for a type without a name.
QString TypeName(quint32 type);

// The data's text up to its first zero character (bytes taken as UTF-16LE).
QString DataText(const QByteArray& data);

// One `"name"=...` line (`@=...` for the default value) of an export, with
// the hex forms wrapped as the Registry Editor wraps them; no line end.
QString ExportValueLine(const PLATFORM::RegValue& value);

// The data as a listing shows it: text for strings, 0x-hex for REG_DWORD,
// hex bytes otherwise.
QString ListingData(const PLATFORM::RegValue& value);

}  // namespace REGTOOL
