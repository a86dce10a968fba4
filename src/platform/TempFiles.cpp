#include "platform/TempFiles.h"

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QRegularExpression>

QString GetTempDirectory()
{
    return PLATFORM::TempFolder();
}

QString CreateTempFileName(const QString& prefix)
{
    const QString folder = GetTempDirectory();
    const QString head = prefix.left(3);
    // The prefix names a file, never a way out of the temporary folder.
    if (folder.isEmpty() || head.contains(u'/'))
        return {};
    // The file stays open and locked for the rest of the run (the descriptor is
    // never closed, and not inherited): a later run removes only the temporary
    // files whose lock is free, so files of a killed run go, files in use stay.
    PLATFORM::LockedFile made = PLATFORM::CreateLockedUniqueFile(folder + head, QStringLiteral(".tmp"));
    if (!made.handle.IsOpen())
        return {};
    made.handle.Release();
    return made.path;
}

void RemoveStaleTempFiles()
{
    const QString folder = GetTempDirectory();
    if (folder.isEmpty())
        return;
    // Only names CreateTempFileName makes.
    static const QRegularExpression ours(QStringLiteral("^[^/]{1,3}[A-Za-z0-9]{6}\\.tmp$"));
    RemoveUnlockedFiles(folder, ours);
}

int RemoveUnlockedFiles(const QString& folder, const QRegularExpression& names)
{
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : entries) {
        if (!names.match(name).hasMatch())
            continue;
        const QString path = dir.filePath(name);
        const PLATFORM::CFileHandle file =
            PLATFORM::OpenForReading(path, {.noFollow = true, .nonBlock = true});
        if (!file.IsOpen())
            continue;
        PLATFORM::FileIdentity identity;
        if (file.Identify(&identity) == 0 && identity.IsFile() && identity.owner == PLATFORM::CurrentUserId()
            && file.TryLock() && PLATFORM::RemoveFile(path) == 0)
            ++removed;
    }
    return removed;
}
