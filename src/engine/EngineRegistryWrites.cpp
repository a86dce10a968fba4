// The engine's registry writes and deletes: each noted for the rollback
// first, then made, then logged.
#include "common/MessageTable.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;

namespace {

QString StatusCause(RegStatus status)
{
    switch (status) {
    case RegStatus::Ok:
        return {};
    case RegStatus::NotFound:
        return GetTextString(TEXT::NoSuchKey);
    case RegStatus::Invalid:
        return GetTextString(TEXT::InvalidKeyPath);
    case RegStatus::Failed:
        return CRegistry::LastError();
    }
    return {};
}

}  // namespace

bool CInstallEngine::SetRegistryString(RegRoot root, const QString& subkey, const QString& text,
                                       const std::optional<QString>& name)
{
    return SetRegistryValue(root, subkey, name.value_or(QString()), PLATFORM::RegSz,
                            CRegistry::StringData(text));
}

bool CInstallEngine::SetRegistryValue(RegRoot root, const QString& subkey, const QString& name, quint32 type,
                                      const QByteArray& data)
{
    CFailure failure;
    Changes.NoteValue(root, subkey, name);
    if (!Changes.Flush(&failure))
        return Fail(failure);
    const RegStatus status = CRegistry::SetValue(root, subkey, name, type, data);
    if (status == RegStatus::Ok) {
        Log.RegistryWritten(RegistryKeyName(root, subkey), name);
        return true;
    }
    const QString value = name.isEmpty() ? QStringLiteral("@") : name;
    return Fail({GetTextString(TEXT::CannotWriteValue).arg(value), RegistryKeyName(root, subkey),
                 StatusCause(status)});
}

bool CInstallEngine::DeleteRegistryTree(RegRoot root, const QString& subkey)
{
    CFailure failure;
    Changes.NoteTree(root, subkey);
    if (!Changes.Flush(&failure))
        return Fail(failure);
    const RegStatus status = CRegistry::DeleteKey(root, subkey);
    if (status == RegStatus::Ok) {
        Log.RegistryDeleted(RegistryKeyName(root, subkey));
        return true;
    }
    if (status == RegStatus::NotFound)
        return true;
    return Fail({GetTextString(TEXT::CannotDeleteKey), RegistryKeyName(root, subkey), StatusCause(status)});
}
