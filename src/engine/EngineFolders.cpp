// Folders the engine makes (noted for the rollback first) and removes, with
// their log lines.
#include "common/FileHelpers.h"
#include "engine/InstallEngine.h"

#include <QFileInfo>

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
