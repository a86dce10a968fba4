// The engine's last-error record and the log lines of its changes: registry
// writes and deletes, folders made and removed.
#include "common/FileHelpers.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"

#include <QFileInfo>

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
        return QStringLiteral("no such key");
    case RegStatus::Invalid:
        return QStringLiteral("not a valid key path or name");
    case RegStatus::Failed:
        return CRegistry::LastError();
    }
    return {};
}

}  // namespace

bool CInstallEngine::Fail(const CFailure& failure)
{
    m_lastError = failure;
    ++m_failureCount;
    Log.Failed(failure.Text());
    return false;
}

bool CInstallEngine::CreateFolders(const QString& path)
{
    CFailure failure;
    Changes.NoteFolders(path.left(path.lastIndexOf(u'/') + 1));
    if (!Changes.Flush(&failure))
        return Fail(failure);
    if (CreateDirectoryTree(path, &failure))
        return true;
    return Fail(failure);
}

void CInstallEngine::RemoveFolder(const QString& folder)
{
    const bool existed = QFileInfo::exists(folder) || QFileInfo(folder).isSymLink();
    DeleteDirectoryTree(folder);
    if (existed)
        Log.Removed(folder);
}

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
    return Fail({QStringLiteral("cannot write the registry value %1 of").arg(value),
                 RegistryKeyName(root, subkey), StatusCause(status)});
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
    return Fail({QStringLiteral("cannot delete the registry key"), RegistryKeyName(root, subkey),
                 StatusCause(status)});
}

void CInstallEngine::BeginChanges()
{
    Changes.Begin(JournalPath());
}

QString CInstallEngine::JournalPath() const
{
    if (!IsSingleName(Manifest.info.prog))
        return {};
    // ".../norvex/registry/machine.db" -> ".../norvex/journal/<prog>.journal"
    const QString hive = CRegistry::HivePath(RegRoot::LocalMachine);
    const QString state = hive.left(hive.lastIndexOf(u'/', hive.lastIndexOf(u'/') - 1));
    return state + QStringLiteral("/journal/") + Manifest.info.prog + QStringLiteral(".journal");
}

QStringList CInstallEngine::CommitChanges()
{
    const QStringList problems = Changes.Commit();
    for (const QString& problem : problems)
        Log.Failed(problem);
    return problems;
}

QStringList CInstallEngine::RollBackChanges()
{
    Log.Write(QStringLiteral("rolling back"));
    const QStringList problems = Changes.Undo();
    for (const QString& line : Changes.Undone())
        Log.Write(QStringLiteral("undo: ") + line);
    for (const QString& problem : problems)
        Log.Failed(problem);
    // The folder is gone again (or was never ours).
    InstallFolderCreated = false;
    return problems;
}

QStringList CInstallEngine::RecoverInterruptedRun(CRollback::Recovered* what)
{
    const QString journal = JournalPath();
    CRollback::Recovered recovered = CRollback::Recovered::Nothing;
    if (what)
        *what = recovered;
    if (journal.isEmpty())
        return {};
    QStringList undone;
    const QStringList problems = CRollback::Recover(journal, &recovered, &undone);
    if (what)
        *what = recovered;
    switch (recovered) {
    case CRollback::Recovered::Nothing:
        break;
    case CRollback::Recovered::Undone:
        Log.Write(QStringLiteral("undoing an interrupted run from ") + journal);
        break;
    case CRollback::Recovered::Committed:
        Log.Write(QStringLiteral("finishing the cleanup of a run that had succeeded, from ") + journal);
        break;
    case CRollback::Recovered::Unreadable:
        Log.Write(QStringLiteral("not following the journal of an interrupted run: ") + journal);
        break;
    }
    for (const QString& line : undone)
        Log.Write(QStringLiteral("undo: ") + line);
    for (const QString& problem : problems)
        Log.Failed(problem);
    return problems;
}
