// The operating system's file services, in one place: where Qt's file
// classes do not serve, every other module reaches files, folders, links and
// mapped memory through these functions, never through the system calls.
// Paths are QStrings, encoded by NativePath (common/FileHelpers.h). Calls that
// can fail return 0 or the errno value (errno is left set as well), so
// callers keep the system's own wording in their messages.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <ctime>
#include <optional>

namespace PLATFORM {

// What the system knows of one file: which file it is (device and inode) and
// its state. Two identities name the same file when SameFile says so.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    qint64 changedSeconds = 0;
    qint64 changedNanoseconds = 0;
    quint32 mode = 0;  // kind and permission bits, as st_mode
    quint64 links = 0;
    quint32 owner = 0;

    bool IsFile() const;
    bool IsFolder() const;
    bool IsLink() const;
    // The permission bits alone (07777).
    quint32 Permissions() const { return mode & 07777; }
    // Every field alike: nothing about the file changed between the two looks.
    bool operator==(const FileIdentity&) const = default;
};

// Device and inode agree: the same file, whatever happened to it since.
bool SameFile(const FileIdentity& a, const FileIdentity& b);
// Both names exist (links not followed) and are the same file.
bool SameFile(const QString& a, const QString& b);
// The same file, with the same size and modification time: what was read of
// it then still holds now, as far as the system tells without reading it.
bool UnchangedSince(const FileIdentity& then, const FileIdentity& now);

enum class Links { Follow, DoNotFollow };
// The identity of what is at path: 0, or the error (ENOENT when nothing is there).
int IdentifyPath(const QString& path, FileIdentity* identity, Links links = Links::Follow);
// Something is at path, links not followed (a dangling link counts).
bool PathExists(const QString& path);

// The real and the effective user of this process, as owners are given.
quint32 CurrentUserId();
quint32 EffectiveUserId();

// The file system a folder is or will be on: that of its nearest existing
// folder, found by walking up from folder.
struct FolderSpace {
    quint64 device = 0;
    qint64 block = 4096;  // the fragment size, 4096 when not told
    qint64 free = 0;      // bytes an unprivileged user may still use
    QString existing;     // the nearest existing folder
};
// False when not even "/" can be examined.
bool SpaceOfFolder(const QString& folder, FolderSpace* space);
// The free bytes of an existing folder's file system; nullopt when unknown.
std::optional<qint64> FreeSpace(const QString& existingFolder);

// An open file descriptor, closed when the handle goes. Moves, never copies.
class CFileHandle {
public:
    CFileHandle() = default;
    explicit CFileHandle(int fd) : m_fd(fd) {}
    CFileHandle(CFileHandle&& other) noexcept : m_fd(other.Release()) {}
    CFileHandle& operator=(CFileHandle&& other) noexcept;
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    ~CFileHandle() { Close(); }

    bool IsOpen() const { return m_fd >= 0; }
    // The descriptor, for the few interfaces that take one; -1 when closed.
    int Descriptor() const { return m_fd; }
    // The descriptor, no longer closed by this handle.
    int Release();
    // Closes now: 0, or the deferred error close() reports (a full disk on
    // some file systems). The handle is closed either way.
    int Close();

    // The identity of the open file: 0, or the error.
    int Identify(FileIdentity* identity) const;
    // Still the file now at path (path's links followed).
    bool IsAt(const QString& path) const;

    // Up to count bytes at offset, read until count or the end of the file:
    // the bytes read (fewer at the end, 0 past it), or -1 with errno set.
    qint64 ReadAt(void* buffer, qint64 count, qint64 offset) const;
    // One read from the current position, retried when interrupted: the bytes
    // read (0 at the end), or -1 with errno set.
    qint64 Read(void* buffer, std::size_t count) const;
    // All count bytes from the current position: 0, or the error (EIO when
    // the system writes nothing and says no error). written (may be null)
    // receives the bytes that went.
    int WriteAll(const void* data, std::size_t count, qint64* written = nullptr) const;

    // An exclusive lock that is never waited for: true when this handle holds it.
    bool TryLock() const;
    // The permission bits: 0, or the error.
    int SetMode(quint32 mode) const;
    // Access and modification time, whole seconds: 0, or the error.
    int SetTimes(time_t modified) const;
    // Flushes the file to the disk: 0, or the error.
    int Sync() const;
    // A second descriptor of the same open file, which keeps its lock.
    CFileHandle Duplicate() const;
    // Tells the system the range will be read once, front to back.
    void AdviseSequential(qint64 offset, qint64 length) const;

private:
    int m_fd = -1;
};

// ReadAt on a descriptor the caller keeps (one stored where a handle cannot
// live, as in a C library's file record).
qint64 ReadAt(int fd, void* buffer, qint64 count, qint64 offset);

// How a file is opened for reading.
struct ReadOptions {
    bool noFollow = false;  // a link at the name is refused (ELOOP)
    bool nonBlock = false;  // a pipe or device at the name does not block the open
};
// The file at path for reading (not inherited by started programs); a closed
// handle with errno set when it cannot be opened.
CFileHandle OpenForReading(const QString& path, ReadOptions options = {});
// The file at path for appending, created with mode when missing; writes
// always go to its end, so lines of processes sharing it stay whole.
CFileHandle OpenForAppending(const QString& path, quint32 mode = 0644);

// A new file named stem + six random characters + suffix, created
// exclusively (mode 0600). path receives its name; a closed handle with
// errno set when none could be made.
CFileHandle CreateUniqueFile(const QString& stem, const QString& suffix, QString* path);

// A new unique file as above, held under an exclusive lock for as long as the
// handle (or a Duplicate of it) is open: a sweep of such files can tell the
// ones of live processes from those left behind. A sweep may take a new file
// between its creation and its lock; another name is tried then.
struct LockedFile {
    CFileHandle handle;  // closed when none was made
    QString path;
    int error = 0;  // why none could be created; 0 when each was taken away
};
LockedFile CreateLockedUniqueFile(const QString& stem, const QString& suffix);

// Renames, never over an existing name: 0, or the error (EEXIST when the new
// name is taken). Where the file system cannot be asked for that, the new
// name is checked first and a plain rename follows.
int RenameNoReplace(const QString& from, const QString& to);
// Renames, replacing what is at to: 0, or the error.
int Rename(const QString& from, const QString& to);
// A second name for an existing file: 0, or the error.
int HardLink(const QString& existing, const QString& newName);
// A symbolic link at linkPath holding target: 0, or the error.
int SymbolicLink(const QString& target, const QString& linkPath);
// The file system refuses a second name for a file (hard links unsupported
// or not allowed there), so the file itself has to move.
bool NoHardLinks(int error);

// Removes a file or link: 0, or the error (ENOENT when nothing was there).
int RemoveFile(const QString& path);
// Removes an empty folder: 0, or the error (ENOTEMPTY when it holds something).
int RemoveFolder(const QString& path);
// Makes one folder: 0, or the error (EEXIST when something is there).
int MakeFolder(const QString& path, quint32 mode = 0755);
// The permission bits of the file at path: 0, or the error.
int SetMode(const QString& path, quint32 mode);
// This process may write the file at path: 0, or the error (EACCES, EROFS).
int CheckWritable(const QString& path);
// Flushes a folder's entries to the disk, so a name made or changed in it
// survives a power loss: 0, or the error.
int SyncFolder(const QString& folder);

// A block of zeroed, private, readable and writable memory of size bytes
// straight from the system (its pages are faulted in up front where the
// system can); null when it cannot be had. Give it back with
// ReleaseAnonymousMemory and the same size.
void* AllocateAnonymousMemory(std::size_t size);
void ReleaseAnonymousMemory(void* block, std::size_t size);

}  // namespace PLATFORM
