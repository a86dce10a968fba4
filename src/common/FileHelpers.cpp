// Folder creation and removal and the file test.
#include "common/FileHelpers.h"

#include "common/MessageTable.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray NativePath(const QString& path)
{
    return QFile::encodeName(path);
}

namespace {

bool IsFolder(const QByteArray& native)
{
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Empties the folder open at fd. Entries are examined without following
// links, and children are opened relative to their parent with O_NOFOLLOW, so
// a link (or an entry swapped for one meanwhile) is never entered.
void EmptyFolderAt(int fd)
{
    const int listFd = ::dup(fd);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                EmptyFolderAt(child);
                ::close(child);
            }
            ::unlinkat(fd, name, AT_REMOVEDIR);  // fails harmlessly when something stayed
        } else {
            ::unlinkat(fd, name, 0);  // files, links, sockets, pipes
        }
    }
    ::closedir(dir);
}

}  // namespace

bool CreateDirectoryTree(const QString& path)
{
    return CreateDirectoryTree(path, nullptr);
}

bool CreateDirectoryTree(const QString& path, CFailure* failure)
{
    const QString p = path.trimmed();
    if (p.isEmpty() || IsFolder(NativePath(p)))
        return true;

    std::vector<QByteArray> made;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p.at(i) != u'/')
            continue;
        if (i == 0)
            continue;  // the root always exists
        const QByteArray prefix = NativePath(p.left(i));
        if (IsFolder(prefix))
            continue;
        if (::mkdir(prefix.constData(), 0777) == 0) {
            made.push_back(prefix);
            continue;
        }
        // Another process may have created it in between; that is success.
        const int error = errno;
        if (error == EEXIST && IsFolder(prefix))
            continue;
        // A failure halfway leaves nothing of what this call made.
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            ::rmdir(it->constData());
        if (failure)
            *failure = CFailure::FromErrno(GetTextString(TEXT::CannotCreateFolder), p.left(i), error);
        errno = error;
        return false;
    }
    return true;
}

bool DeleteDirectoryTree(const QString& folder)
{
    QString p = folder.trimmed();
    if (p.isEmpty())
        return true;
    while (p.endsWith(u'/'))
        p.chop(1);
    // Nothing above was ever meant: never empty the root of the file system.
    if (p.isEmpty())
        return true;

    const QByteArray native = NativePath(p);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return true;
    if (S_ISLNK(st.st_mode)) {
        // A link given as the folder goes as a link; its target is not ours.
        ::unlink(native.constData());
        return true;
    }
    if (!S_ISDIR(st.st_mode))
        return true;

    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        EmptyFolderAt(fd);
        ::close(fd);
    }
    ::rmdir(native.constData());
    return true;
}

bool IsSingleName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        // Control characters have no business in a file or key name either.
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

QString RelativeFileName(const QString& name)
{
    QString path = name;
    path.replace(u'\\', u'/');
    for (const QString& part : path.split(u'/')) {
        if (!IsSingleName(part))
            return {};
    }
    return path;
}

QString WithOneSlash(QString folder)
{
    while (folder.endsWith(u'/'))
        folder.chop(1);
    return folder + u'/';
}

QString WithoutFinalSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString ParentFolder(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = NativePath(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return false;
    if (!S_ISLNK(st.st_mode))
        return !S_ISDIR(st.st_mode);
    // A link answers for its target; a dangling link is still an entry that
    // is not a folder.
    if (::stat(native.constData(), &st) != 0)
        return true;
    return !S_ISDIR(st.st_mode);
}
