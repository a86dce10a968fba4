// Removal of the installation folder, guarded: the folder comes from the
// registry or a user's choice, and deleting a home folder, a system folder or
// the user's own files by mistake cannot be undone.
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

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

QString FolderOf(const QString& file)
{
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}

// The home folder, the special folders, the registry store's folders, the
// system folders, and every folder above one of them.
bool IsProtected(const QString& folder)
{
    QStringList places{PLATFORM::HomeFolder(),
                       PLATFORM::ProgramFilesFolder(),
                       PLATFORM::AppDataFolder(),
                       PLATFORM::ConfigHome(),
                       PLATFORM::DataHome(),
                       PLATFORM::ProgramsMenuFolder(),
                       PLATFORM::StartupFolder(),
                       PLATFORM::DesktopFolder(),
                       PLATFORM::QuickLaunchFolder(),
                       PLATFORM::TempFolder(),
                       FolderOf(PLATFORM::UserHivePath()),
                       FolderOf(PLATFORM::MachineHivePath())};
    // The system folders and their direct children (/usr/lib, /var/lib, ...).
    const QString sandbox = PLATFORM::SandboxRoot();
    for (const char* system : {"/usr", "/var", "/etc"}) {
        QStringList roots{QString::fromLatin1(system)};
        if (!sandbox.isEmpty())
            roots << QDir::cleanPath(sandbox) + QString::fromLatin1(system);
        for (const QString& root : roots) {
            for (const QString& folderForm : Forms(folder)) {
                if (QFileInfo(folderForm).path() == root)
                    return true;
            }
            places << root;
        }
    }
    for (const QString& place : places) {
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

bool IsLink(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).isSymLink();
}

// The guard both removals share: an absolute, real folder (not a link) that
// holds uninstall.xml and is no protected place. Empty when the folder may go,
// else why not.
QString WhyNotRemovable(const QString& folder)
{
    if (!folder.startsWith(u'/'))
        return GetTextString(TEXT::NotAbsolutePath);
    if (IsLink(folder))
        return GetTextString(TEXT::SymbolicLink);
    if (IsProtected(folder))
        return GetTextString(TEXT::SpecialFolder);
    // Only a folder an installation wrote uninstall.xml into is ours.
    if (!QFileInfo(folder).isDir() || !FileExists(QDir::cleanPath(folder) + QStringLiteral("/uninstall.xml")))
        return GetTextString(TEXT::NoUninstallManifest);
    return {};
}

// Deletes the file (or link) at path: 0 when nothing is left there, else the
// unlink's error, taken before the checks after it can change errno.
int DeleteFile(const QString& path)
{
    const int error = PLATFORM::RemoveFile(path);
    if (error == 0)
        return 0;
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink() ? error : 0;
}

// True when path lies strictly below folder, compared without resolving links.
bool IsBelow(const QString& path, const QString& folder)
{
    const QString clean = QDir::cleanPath(path);
    const QString base = QDir::cleanPath(folder);
    return clean.startsWith(base + u'/') && clean.size() > base.size() + 1;
}

}  // namespace

CInstallEngine::FolderRemoval CInstallEngine::RemoveInstallFolder(const QString& path)
{
    const QString folder = path.trimmed();
    if (const QString why = WhyNotRemovable(folder); !why.isEmpty()) {
        const FolderKept kept = IsLink(folder) ? FolderKept::Link : FolderKept::NotOurs;
        return {Fail({GetTextString(TEXT::CannotRemoveInstallFolder), folder, why}), kept};
    }
    RemoveFolder(folder);
    // Whatever stayed (no rights, a file in use elsewhere) means the folder was kept.
    const bool removed = !QFileInfo::exists(QDir::cleanPath(folder));
    const FolderKept kept = removed ? FolderKept::No : FolderKept::NotDeleted;
    if (!removed)
        Fail({GetTextString(TEXT::CannotRemoveInstallFolder), folder, GetTextString(TEXT::FilesNotDeleted)});
    return {removed, kept};
}

CInstallEngine::FolderRemoval CInstallEngine::RemoveInstalledFiles(const QString& path)
{
    const QString folder = WithOneSlash(path.trimmed());
    if (const QString why = WhyNotRemovable(folder); !why.isEmpty()) {
        const FolderKept kept = IsLink(folder) ? FolderKept::Link : FolderKept::NotOurs;
        return {Fail({GetTextString(TEXT::CannotRemoveInstalledFiles), folder, why}), kept};
    }

    // The manifest's files are expanded against the folder being removed.
    const QString savedFolder = InstallFolder;
    InstallFolder = folder;
    QStringList files{folder + QStringLiteral("uninstall.xml")};
    for (const CInstFileInfo& file : Manifest.files) {
        if (file.action == QLatin1String("nodw"))
            continue;
        const QString name = RelativeFileName(file.name);
        if (name.isEmpty())
            continue;
        const QString target = WithOneSlash(ExpandPathMacros(file.path)) + name;
        if (IsBelow(target, folder))
            files << QDir::cleanPath(target);
    }
    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        const QString target = ExpandPathMacros(link.path);
        if (link.type == QLatin1String("uninstall") && IsBelow(target, folder))
            files << QDir::cleanPath(target);
    }
    InstallFolder = savedFolder;

    bool all = true;
    // The folders this removal may leave empty: those of the files it deleted
    // and theirs up to the installation folder. Empty folders the user had
    // before stay.
    QStringList emptied;
    for (const QString& file : files) {
        // A link on the way would lead out of the folder: leave such entries.
        const QString parent = QFileInfo(file).path();
        bool linked = false;
        for (QString p = parent; IsBelow(p, folder); p = QFileInfo(p).path())
            linked = linked || IsLink(p);
        if (linked)
            continue;
        if (QFileInfo(file).isDir() && !QFileInfo(file).isSymLink())
            continue;
        if (!QFileInfo::exists(file) && !QFileInfo(file).isSymLink())
            continue;
        if (const int error = DeleteFile(file); error != 0) {
            all = false;
            Fail(CFailure::FromErrno(GetTextString(TEXT::CannotRemove), file, error));
            continue;
        }
        Log.Removed(file);
        for (QString p = parent; IsBelow(p, folder) && !emptied.contains(p); p = QFileInfo(p).path())
            emptied << p;
    }

    // Deepest first, so a folder's emptied children go before it.
    std::sort(emptied.begin(), emptied.end(),
              [](const QString& a, const QString& b) { return a.count(u'/') > b.count(u'/'); });
    for (const QString& sub : emptied)
        PLATFORM::RemoveFolder(sub);  // only succeeds when empty
    return {all, all ? FolderKept::OtherFiles : FolderKept::NotDeleted};
}

bool CInstallEngine::OwnsInstallFolder(const QString& path) const
{
    if (PreviousFolderCreated)
        return true;
    const QString defaultFolder =
        PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/") + Manifest.info.prog + u'/';
    return IsSingleName(Manifest.info.prog) && QDir::cleanPath(path) == QDir::cleanPath(defaultFolder);
}

QString CInstallEngine::RemovalFolder() const
{
    if (!PreviousInstallPath.isEmpty())
        return PreviousInstallPath;
    return ManifestPath.isEmpty() ? QString() : WithOneSlash(FolderOf(ManifestPath));
}
