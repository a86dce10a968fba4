// Special folders, install scope and the sandbox root: where the installer's
// files, links and registry hives live on this machine.
//
// Every folder value ends with exactly one '/'. With NORVEX_ROOT set, every
// place moves below that folder (home = $NORVEX_ROOT/home, XDG variables are
// ignored), so tests and trial runs never touch the real machine.
#pragma once

#include <QString>

#include <optional>

#include <sys/types.h>

namespace PLATFORM {

enum class Scope { User, Machine };

// Everything the folders depend on, as the process finds it. XDG values are
// kept as they are set (empty when unset); relative ones are ignored when
// the folders are resolved, as the XDG Base Directory rules say.
struct FolderEnvironment {
    QString sandboxRoot;    // NORVEX_ROOT, cleaned and absolute, no final '/'; empty for none
    QString scopeOverride;  // NORVEX_SCOPE
    uid_t effectiveUid = 0;
    uid_t uid = 0;
    QString home;  // HOME, else the password database's home folder
    QString xdgConfigHome;
    QString xdgDataHome;
    QString xdgDesktopDir;
    QString xdgRuntimeDir;
    QString tmpDir;
    // The content of user-dirs.dirs in the config home; nothing when absent.
    std::optional<QString> userDirs;
};

// Every special folder ends with exactly one '/'.
struct SpecialFolderSet {
    Scope scope = Scope::User;
    QString home;
    QString configHome;
    QString dataHome;
    QString programFiles;
    QString appData;
    QString programsMenu;
    QString startup;
    QString desktop;
    QString quickLaunch;
    QString userHive;
    QString machineHive;
    QString temp;  // the private temporary folder's path (not created here)
};

// The folders for an environment: a pure function, so every branch can be
// tried without changing the process's environment.
SpecialFolderSet ResolveSpecialFolders(const FolderEnvironment& environment);

// The process's environment. user-dirs.dirs is read only when withUserDirs
// is set (only the desktop folder needs it) and never inside a sandbox.
FolderEnvironment ReadFolderEnvironment(bool withUserDirs = false);

// Machine scope when running as root; NORVEX_SCOPE=user|machine overrides it.
Scope CurrentScope();

// NORVEX_ROOT without a final '/', or empty when unset.
QString SandboxRoot();

QString HomeFolder();
QString ConfigHome();  // $XDG_CONFIG_HOME, else ~/.config/
QString DataHome();    // $XDG_DATA_HOME, else ~/.local/share/

// The stand-ins of the Windows special folders.
QString ProgramFilesFolder();  // /opt/ or ~/.local/opt/
QString AppDataFolder();       // roaming AppData: $XDG_DATA_HOME in both scopes
QString ProgramsMenuFolder();  // all-users programs menu
QString StartupFolder();       // all-users Startup
QString DesktopFolder();       // XDG desktop folder, ~/Desktop/ when unset
QString QuickLaunchFolder();   // AppData/Microsoft/Internet Explorer/Quick Launch/

// Registry hive files.
QString UserHivePath();     // HKCU
QString MachineHivePath();  // HKLM (and HKCR below it)

// The private per-user temporary folder, created with mode 0700. Empty when it
// cannot be created or is a link or belongs to another user.
QString TempFolder();

}  // namespace PLATFORM
