// The Linux side of FileSystem.h.
#include "common/FileHelpers.h"
#include "platform/FileSystem.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace PLATFORM {
namespace {

// A new file's lock is tried again under another name when a sweep took the
// file between its creation and the lock.
constexpr int kLockAttempts = 8;

int Result(int rc)
{
    return rc == 0 ? 0 : errno;
}

FileIdentity IdentityFrom(const struct stat& st)
{
    FileIdentity identity;
    identity.device = quint64(st.st_dev);
    identity.inode = quint64(st.st_ino);
    identity.size = qint64(st.st_size);
    identity.modifiedSeconds = qint64(st.st_mtim.tv_sec);
    identity.modifiedNanoseconds = qint64(st.st_mtim.tv_nsec);
    identity.changedSeconds = qint64(st.st_ctim.tv_sec);
    identity.changedNanoseconds = qint64(st.st_ctim.tv_nsec);
    identity.mode = quint32(st.st_mode);
    identity.links = quint64(st.st_nlink);
    identity.owner = quint32(st.st_uid);
    return identity;
}

qint64 BlockOf(const struct statvfs& vfs)
{
    return vfs.f_frsize > 0 ? qint64(vfs.f_frsize) : 4096;
}

}  // namespace

bool FileIdentity::IsFile() const
{
    return S_ISREG(mode);
}

bool FileIdentity::IsFolder() const
{
    return S_ISDIR(mode);
}

bool FileIdentity::IsLink() const
{
    return S_ISLNK(mode);
}

bool SameFile(const FileIdentity& a, const FileIdentity& b)
{
    return a.device == b.device && a.inode == b.inode;
}

bool SameFile(const QString& a, const QString& b)
{
    FileIdentity first;
    FileIdentity second;
    return IdentifyPath(a, &first, Links::DoNotFollow) == 0
        && IdentifyPath(b, &second, Links::DoNotFollow) == 0 && SameFile(first, second);
}

bool UnchangedSince(const FileIdentity& then, const FileIdentity& now)
{
    return SameFile(then, now) && then.size == now.size && then.modifiedSeconds == now.modifiedSeconds
        && then.modifiedNanoseconds == now.modifiedNanoseconds;
}

int IdentifyPath(const QString& path, FileIdentity* identity, Links links)
{
    struct stat st {};
    const QByteArray native = ::NativePath(path);
    const int rc =
        links == Links::Follow ? ::stat(native.constData(), &st) : ::lstat(native.constData(), &st);
    if (rc != 0)
        return errno;
    if (identity)
        *identity = IdentityFrom(st);
    return 0;
}

bool PathExists(const QString& path)
{
    return IdentifyPath(path, nullptr, Links::DoNotFollow) == 0;
}

quint32 CurrentUserId()
{
    return quint32(::getuid());
}

quint32 EffectiveUserId()
{
    return quint32(::geteuid());
}

bool SpaceOfFolder(const QString& folder, FolderSpace* space)
{
    QString path = WithoutFinalSlash(folder);
    FileIdentity identity;
    while (IdentifyPath(path, &identity) != 0 || !identity.IsFolder()) {
        if (path == QLatin1String("/"))
            return false;
        path = ParentFolder(path);
    }
    struct statvfs vfs {};
    if (::statvfs(::NativePath(path).constData(), &vfs) != 0)
        return false;
    space->device = identity.device;
    space->block = BlockOf(vfs);
    space->free = qint64(vfs.f_bavail) * space->block;
    space->existing = path;
    return true;
}

std::optional<qint64> FreeSpace(const QString& existingFolder)
{
    struct statvfs vfs {};
    if (::statvfs(::NativePath(existingFolder).constData(), &vfs) != 0)
        return std::nullopt;
    return qint64(vfs.f_bavail) * BlockOf(vfs);
}

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

int CFileHandle::Release()
{
    return std::exchange(m_fd, -1);
}

int CFileHandle::Close()
{
    if (m_fd < 0)
        return 0;
    return Result(::close(Release()));
}

int CFileHandle::Identify(FileIdentity* identity) const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return errno;
    if (identity)
        *identity = IdentityFrom(st);
    return 0;
}

bool CFileHandle::IsAt(const QString& path) const
{
    FileIdentity held;
    FileIdentity named;
    return Identify(&held) == 0 && IdentifyPath(path, &named) == 0 && SameFile(held, named);
}

qint64 CFileHandle::ReadAt(void* buffer, qint64 count, qint64 offset) const
{
    return PLATFORM::ReadAt(m_fd, buffer, count, offset);
}

qint64 ReadAt(int fd, void* buffer, qint64 count, qint64 offset)
{
    qint64 done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, size_t(count - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

qint64 CFileHandle::Read(void* buffer, std::size_t count) const
{
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, count);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

int CFileHandle::WriteAll(const void* data, std::size_t count, qint64* written) const
{
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::write(m_fd, bytes, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        bytes += n;
        count -= size_t(n);
        if (written)
            *written += n;
    }
    return 0;
}

bool CFileHandle::TryLock() const
{
    return ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}

int CFileHandle::SetMode(quint32 mode) const
{
    return Result(::fchmod(m_fd, mode_t(mode)));
}

int CFileHandle::SetTimes(time_t modified) const
{
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = modified;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return Result(::futimens(m_fd, times));
}

int CFileHandle::Sync() const
{
    return Result(::fsync(m_fd));
}

CFileHandle CFileHandle::Duplicate() const
{
    return CFileHandle(::fcntl(m_fd, F_DUPFD_CLOEXEC, 0));
}

void CFileHandle::AdviseSequential(qint64 offset, qint64 length) const
{
    ::posix_fadvise(m_fd, off_t(offset), off_t(length), POSIX_FADV_SEQUENTIAL);
}

CFileHandle OpenForReading(const QString& path, ReadOptions options)
{
    int flags = O_RDONLY | O_CLOEXEC;
    if (options.noFollow)
        flags |= O_NOFOLLOW;
    if (options.nonBlock)
        flags |= O_NONBLOCK;
    return CFileHandle(::open(::NativePath(path).constData(), flags));
}

CFileHandle OpenForAppending(const QString& path, quint32 mode)
{
    return CFileHandle(::open(::NativePath(path).constData(),
                              O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, mode_t(mode)));
}

CFileHandle CreateUniqueFile(const QString& stem, const QString& suffix, QString* path)
{
    const QByteArray tail = ::NativePath(suffix);
    QByteArray name = ::NativePath(stem) + "XXXXXX" + tail;
    CFileHandle handle(::mkostemps(name.data(), int(tail.size()), O_CLOEXEC));
    if (handle.IsOpen() && path)
        *path = QFile::decodeName(name);
    return handle;
}

LockedFile CreateLockedUniqueFile(const QString& stem, const QString& suffix)
{
    LockedFile made;
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        QString path;
        CFileHandle handle = CreateUniqueFile(stem, suffix, &path);
        if (!handle.IsOpen()) {
            made.error = errno;
            return made;
        }
        // Between creation and lock another process may have swept the file away.
        if (handle.TryLock() && handle.IsAt(path)) {
            made.handle = std::move(handle);
            made.path = path;
            return made;
        }
    }
    return made;
}

int RenameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = ::NativePath(from);
    const QByteArray target = ::NativePath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system that cannot be asked: the callers alone make names of
    // this form in the folder, and the name is free now.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0)
        return EEXIST;
    return Result(::rename(source.constData(), target.constData()));
}

int Rename(const QString& from, const QString& to)
{
    return Result(::rename(::NativePath(from).constData(), ::NativePath(to).constData()));
}

int HardLink(const QString& existing, const QString& newName)
{
    return Result(::link(::NativePath(existing).constData(), ::NativePath(newName).constData()));
}

int SymbolicLink(const QString& target, const QString& linkPath)
{
    return Result(::symlink(::NativePath(target).constData(), ::NativePath(linkPath).constData()));
}

bool NoHardLinks(int error)
{
    return error == EPERM || error == EXDEV || error == EMLINK || error == ENOTSUP || error == EOPNOTSUPP;
}

int RemoveFile(const QString& path)
{
    return Result(::unlink(::NativePath(path).constData()));
}

int RemoveFolder(const QString& path)
{
    return Result(::rmdir(::NativePath(path).constData()));
}

int MakeFolder(const QString& path, quint32 mode)
{
    return Result(::mkdir(::NativePath(path).constData(), mode_t(mode)));
}

int SetMode(const QString& path, quint32 mode)
{
    return Result(::chmod(::NativePath(path).constData(), mode_t(mode)));
}

int CheckWritable(const QString& path)
{
    return Result(::access(::NativePath(path).constData(), W_OK));
}

int SyncFolder(const QString& folder)
{
    const int fd = ::open(::NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int synced = Result(::fsync(fd));
    ::close(fd);
    return synced;
}

void* AllocateAnonymousMemory(std::size_t size)
{
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return nullptr;
#ifdef MADV_POPULATE_WRITE
    // A hint; without it the block is still usable. No huge pages: where
    // the memory is fresh (a new virtual machine) they cost seconds of
    // zeroing per install.
    ::madvise(block, size, MADV_POPULATE_WRITE);
#endif
    return block;
}

void ReleaseAnonymousMemory(void* block, std::size_t size)
{
    if (block)
        ::munmap(block, size);
}

}  // namespace PLATFORM
