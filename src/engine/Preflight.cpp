// Checks before the first write: room on every file system the run writes
// to, and an installation folder that can be made and written.
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "database/InstallCabDB.h"
#include "engine/InstallEngine.h"
#include "platform/FileSystem.h"

#include <QHash>

#include <cerrno>
#include <optional>

bool CInstallEngine::MeasureSpace(std::vector<SpaceNeed>& needs, CFailure* failure)
{
    needs.clear();
    // The ready pages ask on every showing; the package is read once.
    if (!m_space.read) {
        m_space.readable = m_package->ReadEntryLengths(Package, m_space.lengths);
        if (!m_space.readable)
            m_space.readFailure = m_package->ExtractFailure();
        m_space.read = true;
    }
    if (!m_space.readable) {
        if (failure)
            *failure = m_space.readFailure;
        return false;
    }
    if (!m_space.measured || m_space.installFolder != InstallFolder
        || m_space.appDataFolder != AppDataFolder) {
        MeasureNeeds();
        m_space.measured = true;
        m_space.installFolder = InstallFolder;
        m_space.appDataFolder = AppDataFolder;
    }
    // The free space changes while the wizard waits.
    needs = m_space.needs;
    for (size_t i = 0; i < needs.size(); ++i) {
        if (const std::optional<qint64> free = PLATFORM::FreeSpace(m_space.existing[qsizetype(i)]))
            needs[i].free = *free;
    }
    return true;
}

void CInstallEngine::MeasureNeeds()
{
    std::vector<SpaceNeed>& needs = m_space.needs;
    needs.clear();
    m_space.existing.clear();
    const QHash<QString, qint64>& lengths = m_space.lengths;
    QHash<quint64, size_t> byDevice;
    QHash<QString, PLATFORM::FolderSpace> byFolder;  // most files share their folder
    auto add = [&](const QString& named, const QString& folder, qint64 bytes) {
        auto known = byFolder.constFind(folder);
        if (known == byFolder.constEnd()) {
            PLATFORM::FolderSpace found;
            if (!PLATFORM::SpaceOfFolder(folder, &found))
                return;
            known = byFolder.insert(folder, found);
        }
        const PLATFORM::FolderSpace& fs = *known;
        auto found = byDevice.find(fs.device);
        if (found == byDevice.end()) {
            found = byDevice.insert(fs.device, needs.size());
            needs.push_back({named, 0, fs.free});
            m_space.existing << fs.existing;
        }
        // Files take whole blocks.
        needs[*found].needed += (bytes + fs.block - 1) / fs.block * fs.block;
    };
    // uninstall.xml is the manifest written back.
    add(InstallFolder, InstallFolder, lengths.value(QStringLiteral("Install.xml"), 0));
    // The file step stops at the plan's stop, and so does the measuring.
    for (const DeployPlan::File& file : PlanDeployment().files) {
        const QString folder = file.target.left(file.target.lastIndexOf(u'/') + 1);
        const QString named = folder.startsWith(InstallFolder) ? InstallFolder
            : folder.startsWith(AppDataFolder)                 ? AppDataFolder
                                                               : folder;
        add(named, folder, lengths.value(file.name, 0));
    }
}

bool CInstallEngine::ProbeInstallFolder()
{
    if (!InstallFolder.startsWith(u'/'))
        return Fail(
            {GetTextString(TEXT::CannotInstallInto), InstallFolder, GetTextString(TEXT::NotAbsolutePath)});
    QStringList made;
    auto undo = [&] {
        for (auto it = made.crbegin(); it != made.crend(); ++it)
            PLATFORM::RemoveFolder(*it);
    };
    QStringList missing;
    for (QString path = WithoutFinalSlash(InstallFolder); path.size() > 1 && !PLATFORM::PathExists(path);
         path = ParentFolder(path))
        missing.prepend(path);
    for (const QString& path : missing) {
        if (const int error = PLATFORM::MakeFolder(path, 0755)) {
            undo();
            return Fail(CFailure::FromErrno(GetTextString(TEXT::CannotCreateFolder), path, error));
        }
        made << path;
    }
    QString probe;
    PLATFORM::CFileHandle probing = PLATFORM::CreateUniqueFile(
        WithOneSlash(InstallFolder) + QStringLiteral(".nvxprobe"), QString(), &probe);
    if (!probing.IsOpen()) {
        const int error = errno;
        undo();
        return Fail(CFailure::FromErrno(GetTextString(TEXT::CannotWriteInto), InstallFolder, error));
    }
    probing.Close();
    PLATFORM::RemoveFile(probe);
    undo();
    return true;
}
