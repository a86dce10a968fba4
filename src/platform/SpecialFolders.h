// Special folders, install scope and the sandbox root: where the installer's
// files, links and registry hives live on this machine.
//
// Every folder value ends with exactly one '/'. With NORVEX_ROOT set, every
// place moves below that folder (home = $NORVEX_ROOT/home, XDG variables are
// ignored), so tests and trial runs never touch the real machine.
#pragma once

#include <QString>

namespace PLATFORM {

enum class Scope { User, Machine };

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
