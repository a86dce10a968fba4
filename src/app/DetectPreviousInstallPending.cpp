// PENDING: stand-in until the engine's install-locations code is merged; it
// defines CInstallEngine::DetectPreviousInstall and this file must then be
// deleted (the linker reports the duplicate). It fills the folders only and
// never finds an earlier installation.
#include "app/InstallEngine.h"

#include "platform/SpecialFolders.h"

bool CInstallEngine::DetectPreviousInstall()
{
    const QString prog = Manifest.info.prog;
    ProductKey = QStringLiteral("Software\\Tessaly\\%1").arg(prog);
    InstallFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/%1/").arg(prog);
    AppDataFolder = PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/%1/").arg(prog);
    return true;
}
