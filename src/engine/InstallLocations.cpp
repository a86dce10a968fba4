// Where the product goes, what is installed already, path macros and the
// probe for a running copy of the product.
#include "common/FileHelpers.h"
#include "engine/EngineNames.h"
#include "engine/InstallEngine.h"
#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowMarkers.h"

namespace {

const QString kInstallMacro = QStringLiteral("$intallpath$");
const QString kAppDataMacro = QStringLiteral("$appdatapath$");

}  // namespace

bool CInstallEngine::DetectPreviousInstall()
{
    const QString& prog = Manifest.info.prog;
    ProductKey = QStringLiteral("Software\\Tessaly\\") + prog;
    InstallFolder = PLATFORM::ProgramFilesFolder() + QStringLiteral("Tessaly/") + prog + u'/';
    AppDataFolder = PLATFORM::AppDataFolder() + QStringLiteral("Tessaly/") + prog + u'/';

    const PLATFORM::RegRoot user = PLATFORM::RegRoot::CurrentUser;
    PreviousInstallPath = RegQueryString(user, ProductKey, QStringLiteral("InstallPath"));
    PreviousVersion = RegQueryString(user, ProductKey, QStringLiteral("Version"));
    PreviousInstallFound = !PreviousInstallPath.isEmpty() && !PreviousVersion.isEmpty();
    QByteArray created;
    PreviousFolderCreated = PLATFORM::CRegistry::QueryValue(
                                user, ProductKey, QString::fromUtf16(kFolderCreatedValue), nullptr, &created)
            == PLATFORM::RegStatus::Ok
        && created == PLATFORM::CRegistry::DwordData(1);
    if (PreviousInstallFound)
        InstallFolder = WithOneSlash(PreviousInstallPath);

    if (Mode != RunMode::Install || !PreviousInstallFound)
        return true;
    // Versions compare as text, so 6.10 counts as older than 6.9.
    const QString& ver = Manifest.version.ver;
    const bool newer = !ver.isEmpty() && ver.compare(PreviousVersion, Qt::CaseInsensitive) > 0;
    Mode = newer ? RunMode::Upgrade : RunMode::Repair;
    return true;
}

QString CInstallEngine::ExpandPathMacros(const QString& text) const
{
    if (!text.contains(kInstallMacro) && !text.contains(kAppDataMacro))
        return text;
    QString source = text;
    source.replace(kInstallMacro + u'\\', kInstallMacro);
    source.replace(kAppDataMacro + u'\\', kAppDataMacro);

    // The manifest writes Windows separators; the folders are already ours
    // and keep their text as it is.
    QString result;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype install = source.indexOf(kInstallMacro, pos);
        const qsizetype appData = source.indexOf(kAppDataMacro, pos);
        const bool isInstall = install >= 0 && (appData < 0 || install < appData);
        const qsizetype at = isInstall ? install : appData;
        result += source.mid(pos, at < 0 ? -1 : at - pos).replace(u'\\', u'/');
        if (at < 0)
            return result;
        result += isInstall ? InstallFolder : AppDataFolder;
        pos = at + (isInstall ? kInstallMacro : kAppDataMacro).size();
    }
}

bool CInstallEngine::FindRunningProgram(std::uint32_t* window)
{
    const std::int32_t label = Manifest.info.value;
    if (label == 0)
        return false;
    const std::uint32_t found = PLATFORM::FindWindowByLabel(label);
    if (found == 0 || !PLATFORM::WindowExists(found))
        return false;
    if (window)
        *window = found;
    return true;
}
