// Checks before the first write: room on every file system the run writes
// to, and an installation folder that can be made and written.
#include "common/FileHelpers.h"
#include "common/MessageTable.h"
#include "database/InstallCabDB.h"
#include "engine/InstallEngine.h"

#include <QFile>
#include <QHash>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// The file system a folder is or will be on: that of its nearest existing folder.
struct FileSystem {
    dev_t device = 0;
    qint64 block = 4096;
    qint64 free = 0;
    QString existing;  // that folder
};

bool FileSystemOf(const QString& folder, FileSystem& fs)
{
    QString path = WithoutFinalSlash(folder);
    struct stat st {};
    while (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (path == QLatin1String("/"))
            return false;
        path = ParentFolder(path);
    }
    struct statvfs vfs {};
    if (::statvfs(QFile::encodeName(path).constData(), &vfs) != 0)
        return false;
    fs.device = st.st_dev;
    fs.block = vfs.f_frsize > 0 ? qint64(vfs.f_frsize) : 4096;
    fs.free = qint64(vfs.f_bavail) * fs.block;
    fs.existing = path;
    return true;
}

void ReadFreeSpace(const QString& existing, qint64& free)
{
    struct statvfs vfs {};
    if (::statvfs(QFile::encodeName(existing).constData(), &vfs) == 0)
        free = qint64(vfs.f_bavail) * (vfs.f_frsize > 0 ? qint64(vfs.f_frsize) : 4096);
}

}  // namespace

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
    for (size_t i = 0; i < needs.size(); ++i)
        ReadFreeSpace(m_space.existing[qsizetype(i)], needs[i].free);
    return true;
}

void CInstallEngine::MeasureNeeds()
{
    std::vector<SpaceNeed>& needs = m_space.needs;
    needs.clear();
    m_space.existing.clear();
    const QHash<QString, qint64>& lengths = m_space.lengths;
    QHash<dev_t, size_t> byDevice;
    QHash<QString, FileSystem> byFolder;  // most files share their folder
    auto add = [&](const QString& named, const QString& folder, qint64 bytes) {
        auto known = byFolder.constFind(folder);
        if (known == byFolder.constEnd()) {
            FileSystem found;
            if (!FileSystemOf(folder, found))
                return;
            known = byFolder.insert(folder, found);
        }
        const FileSystem& fs = *known;
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
            ::rmdir(QFile::encodeName(*it).constData());
    };
    QStringList missing;
    struct stat st {};
    for (QString path = WithoutFinalSlash(InstallFolder);
         path.size() > 1 && ::lstat(QFile::encodeName(path).constData(), &st) != 0; path = ParentFolder(path))
        missing.prepend(path);
    for (const QString& path : missing) {
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0) {
            const int error = errno;
            undo();
            return Fail(CFailure::FromErrno(GetTextString(TEXT::CannotCreateFolder), path, error));
        }
        made << path;
    }
    QByteArray probe = QFile::encodeName(WithOneSlash(InstallFolder)) + ".nvxprobeXXXXXX";
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        undo();
        return Fail(CFailure::FromErrno(GetTextString(TEXT::CannotWriteInto), InstallFolder, error));
    }
    ::close(fd);
    ::unlink(probe.constData());
    undo();
    return true;
}
