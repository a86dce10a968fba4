// The engine's side of the rollback: where its journal lives, and the run's
// changes committed, rolled back or recovered from a killed run, with their
// log lines.
#include "common/FileHelpers.h"
#include "engine/InstallEngine.h"

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;

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
