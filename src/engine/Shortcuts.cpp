// Shortcuts: launcher entries in the programs menu, and the main program's
// copies on the desktop, in Quick Launch and in Startup.
#include "common/MessageTable.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "platform/DesktopEntry.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kMainProgram = QStringLiteral("mainprog");

}  // namespace

// The menu folder carries the product's title; a title that is no single
// safe name ("Input/Output Lab", "..") falls back to the product's folder name,
// at creation and removal alike.
static QString MenuFolderName(const CInstallInfo& manifest)
{
    return IsSingleName(manifest.version.prog) ? manifest.version.prog : manifest.info.prog;
}

CInstallEngine::ShortcutsMade CInstallEngine::CreateShortcuts(bool desktop, bool quickLaunch)
{
    ShortcutsMade made;
    auto menuFolderFailed = [&] {
        made.failures << LastError().Text();
        made.menuFolder = false;
        return made;
    };
    // The main program is known whatever becomes of the menu folder or of
    // its link file: starting the product needs only the target.
    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        if (link.type == kMainProgram)
            Manifest.mainprogPath = ExpandPathMacros(link.path);
    }
    const QString name = MenuFolderName(Manifest);
    if (!IsSingleName(name)) {
        Fail({GetTextString(TEXT::CannotCreateMenuFolder), name, GetTextString(TEXT::NotPlainName)});
        return menuFolderFailed();
    }
    const QString menuFolder = PLATFORM::ProgramsMenuFolder() + name + u'/';
    if (!CreateFolders(menuFolder))
        return menuFolderFailed();
    auto write = [&](const QString& target, const QString& file, const std::optional<QString>& description,
                     const QString& arguments) {
        if (!CreateShellLink(target, file, description, arguments))
            made.failures << LastError().Text();
    };

    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        const QString target = ExpandPathMacros(link.path);
        // The link name is a file name; anything else would write elsewhere.
        if (!IsSingleName(link.lnk))
            continue;
        // No entry can start such a program; the caller reports it.
        if (PLATFORM::HasControlCharacters(target)) {
            made.skipped << link.lnk;
            continue;
        }
        write(target, menuFolder + link.lnk, link.name, QString());
        if (link.type != kMainProgram)
            continue;

        if (desktop) {
            // Windows always has a desktop folder; here it may still be missing.
            const QString folder = PLATFORM::DesktopFolder();
            CreateFolders(folder);
            write(target, folder + link.lnk, link.name, QString());
        }
        // Quick Launch is never created: without it there is no copy.
        if (quickLaunch && QFileInfo(PLATFORM::QuickLaunchFolder()).isDir())
            write(target, PLATFORM::QuickLaunchFolder() + link.lnk, link.name, QString());
        if (Manifest.info.autostart == 1) {
            const QString folder = PLATFORM::StartupFolder();
            CreateFolders(folder);
            write(target, folder + link.lnk, link.name, QStringLiteral("-autostart"));
        }
    }
    return made;
}

bool CInstallEngine::RemoveShortcuts()
{
    // The menu folder is made under the product's title; the product's folder
    // name is tried as well. When the two differ, going by the name alone
    // would leave menu entries whose programs are gone. An empty or climbing
    // name would name the whole menu.
    for (const QString& name : {Manifest.info.prog, MenuFolderName(Manifest)}) {
        if (IsSingleName(name))
            RemoveFolder(PLATFORM::ProgramsMenuFolder() + name + u'/');
    }

    for (const CInstShortcutInfo& link : Manifest.shortcut) {
        if (link.type != kMainProgram || !IsSingleName(link.lnk))
            continue;
        // Deleted whether or not the user asked for the copies; the saved
        // uninstall.xml does not say autostart, so the Startup copy goes too.
        RemoveLink(PLATFORM::DesktopFolder() + link.lnk);
        RemoveLink(PLATFORM::QuickLaunchFolder() + link.lnk);
        RemoveLink(PLATFORM::StartupFolder() + link.lnk);
    }
    return true;
}

bool CInstallEngine::CreateShellLink(const QString& target, const QString& file,
                                     const std::optional<QString>& description, const QString& arguments)
{
    if (file.isEmpty())
        return Fail({GetTextString(TEXT::CannotWriteLauncher), target, GetTextString(TEXT::NoLinkFileName)});
    PLATFORM::DesktopEntry entry;
    entry.target = target;
    entry.arguments = arguments;
    entry.description = description.value_or(QString());
    // Desktops start only entries that carry the run bit.
    const QString folder = QFileInfo(PLATFORM::DesktopEntryPath(file)).absolutePath();
    const bool onDesktop = QDir::cleanPath(folder) == QDir::cleanPath(PLATFORM::DesktopFolder());
    CFailure failure;
    const QString path = PLATFORM::DesktopEntryPath(file);
    Changes.NoteFile(path);
    if (!Changes.Flush(&failure) || !Changes.KeepAside(path, &failure))
        return Fail(failure);
    if (!PLATFORM::WriteDesktopEntry(file, entry, onDesktop, &failure))
        return Fail(failure);
    Log.DesktopEntryWritten(PLATFORM::DesktopEntryPath(file));
    return true;
}

void CInstallEngine::RemoveLink(const QString& file)
{
    const QString path = PLATFORM::DesktopEntryPath(file);
    const bool existed = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    if (!PLATFORM::RemoveDesktopEntry(file))
        Fail(CFailure{GetTextString(TEXT::CannotRemove), path, GetTextString(TEXT::StillThere)});
    else if (existed)
        Log.Removed(path);
}
