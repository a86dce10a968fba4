// Removal of the installation folder, guarded: the folder comes from the
// registry or a user's choice, and deleting a home folder or the whole
// program folder by mistake cannot be undone.
#include "engine/InstallEngine.h"

#include "common/FileHelpers.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// The path as written and, when it exists, with links resolved.
QStringList Forms(const QString& path)
{
    QStringList forms{QDir::cleanPath(path)};
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (!canonical.isEmpty() && !forms.contains(canonical))
        forms << canonical;
    return forms;
}

bool IsSameOrAbove(const QString& folder, const QString& other)
{
    return folder == QLatin1String("/") || other == folder || other.startsWith(folder + u'/');
}

// The home folder, the special folders and every folder above one of them.
bool IsProtected(const QString& folder)
{
    QStringList special{PLATFORM::HomeFolder(),         PLATFORM::ProgramFilesFolder(),
                        PLATFORM::AppDataFolder(),      PLATFORM::ConfigHome(),
                        PLATFORM::DataHome(),           PLATFORM::ProgramsMenuFolder(),
                        PLATFORM::StartupFolder(),      PLATFORM::DesktopFolder(),
                        PLATFORM::QuickLaunchFolder(),  PLATFORM::TempFolder()};
    for (const QString& place : special) {
        if (place.isEmpty())
            continue;
        for (const QString& placeForm : Forms(place)) {
            for (const QString& folderForm : Forms(folder)) {
                if (IsSameOrAbove(folderForm, placeForm))
                    return true;
            }
        }
    }
    return false;
}

}  // namespace

bool CInstallEngine::RemoveInstallFolder(const QString& path)
{
    const QString folder = path.trimmed();
    if (!folder.startsWith(u'/') || IsProtected(folder))
        return false;
    // Only a folder an installation wrote uninstall.xml into is ours.
    if (!QFileInfo(folder).isDir() || !FileExists(QDir::cleanPath(folder) + QStringLiteral("/uninstall.xml")))
        return false;
    return DeleteDirectoryTree(folder);
}
