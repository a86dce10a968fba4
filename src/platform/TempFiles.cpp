#include "platform/TempFiles.h"

#include "platform/SpecialFolders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

QString GetTempDirectory()
{
    return PLATFORM::TempFolder();
}

QString CreateTempFileName(const QString& prefix)
{
    const QString folder = GetTempDirectory();
    const QString head = prefix.left(3);
    // The prefix names a file, never a way out of the temporary folder.
    if (folder.isEmpty() || head.contains(u'/'))
        return {};
    // The file stays open and locked for the rest of the run (the descriptor is
    // never closed, and not inherited): a later run removes only the temporary
    // files whose lock is free, so files of a killed run go, files in use stay.
    for (int attempt = 0; attempt < 8; ++attempt) {
        QByteArray name = QFile::encodeName(folder + head + QStringLiteral("XXXXXX.tmp"));
        const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
        if (fd < 0)
            return {};
        struct stat held {};
        struct stat named {};
        // Between creation and lock another run may have swept the file away.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0
            && ::stat(name.constData(), &named) == 0 && held.st_ino == named.st_ino
            && held.st_dev == named.st_dev)
            return QFile::decodeName(name);
        ::close(fd);
    }
    return {};
}

void RemoveStaleTempFiles()
{
    const QString folder = GetTempDirectory();
    if (folder.isEmpty())
        return;
    // Only names CreateTempFileName makes.
    static const QRegularExpression ours(QStringLiteral("^[^/]{1,3}[A-Za-z0-9]{6}\\.tmp$"));
    RemoveUnlockedFiles(folder, ours);
}

int RemoveUnlockedFiles(const QString& folder, const QRegularExpression& names)
{
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : entries) {
        if (!names.match(name).hasMatch())
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}
