#include "platform/FileWriter.h"

#include "platform/TempFiles.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PLATFORM {
namespace {

const QString kCannotWrite = QStringLiteral("cannot write");
// A new temporary file's lock is tried again under another name when a sweep
// took the file between its creation and the lock.
constexpr int kLockAttempts = 8;

bool SameFile(int fd, const QByteArray& name)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_ino == named.st_ino
        && held.st_dev == named.st_dev;
}

// The umask can only be read by setting it; /proc tells it without that
// window, in which another thread's new file would get the wrong mask.
mode_t ReadUmask()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return mode_t(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

mode_t ProcessUmask()
{
    static const mode_t mask = ReadUmask();
    return mask;
}

}  // namespace

mode_t ModeForContent(const unsigned char* head, size_t size)
{
    const bool script = size >= 2 && head[0] == '#' && head[1] == '!';
    const bool elf = size >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
    return mode_t((script || elf) ? 0755 : 0644) & ~ProcessUmask();
}

CFileWriter::CFileWriter(const QString& targetPath, const FileWriteOptions& options)
    : m_target(targetPath), m_options(options)
{
}

CFileWriter::~CFileWriter()
{
    Abandon();
}

bool CFileWriter::Fail(int error)
{
    m_failure = CFailure::FromErrno(kCannotWrite, m_target, error);
    Abandon();
    m_failed = true;
    return false;
}

bool CFileWriter::Fail(const QString& cause)
{
    m_failure = {kCannotWrite, m_target, cause};
    Abandon();
    m_failed = true;
    return false;
}

bool CFileWriter::Open()
{
    Abandon();
    m_failed = false;
    m_failure.Clear();
    m_size = 0;
    const qsizetype slash = m_target.lastIndexOf(u'/');
    if (m_target.isEmpty() || slash == m_target.size() - 1)
        return Fail(EISDIR);
    const QByteArray target = QFile::encodeName(m_target);

    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return Fail(EISDIR);
        // A read-only file stays read-only, as it would when written in place.
        if (S_ISREG(st.st_mode) && ::access(target.constData(), W_OK) != 0)
            return Fail(errno);
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            return Fail(QStringLiteral("not a regular file"));
    } else if (errno != ENOENT) {
        return Fail(errno);
    }

    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QString() : m_target.left(slash);
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        QByteArray name = QFile::encodeName(folder) + "/.nvxXXXXXX.part";
        const int fd = ::mkostemps(name.data(), 5, O_CLOEXEC);
        if (fd < 0)
            return Fail(errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, name)) {
            m_fd = fd;
            m_nativeTemporary = name;
            m_temporary = QFile::decodeName(name);
            return true;
        }
        ::close(fd);
    }
    return Fail(QStringLiteral("its temporary file was taken away repeatedly"));
}

bool CFileWriter::Write(const void* data, size_t count)
{
    if (m_failed || m_fd < 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t written = ::write(m_fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Fail(errno);
        }
        if (written == 0)
            return Fail(EIO);
        bytes += written;
        count -= size_t(written);
        m_size += written;
    }
    return true;
}

bool CFileWriter::Commit()
{
    if (m_failed || m_fd < 0)
        return false;
    mode_t mode;
    if (m_options.exactMode) {
        mode = *m_options.exactMode;
    } else if (m_options.plainMode) {
        mode = 0666 & ~ProcessUmask();
    } else {
        // Read back, so content written by name (SQLite) counts as well.
        unsigned char head[4] = {};
        const ssize_t got = ::pread(m_fd, head, sizeof head, 0);
        mode = ModeForContent(head, got > 0 ? size_t(got) : 0);
    }
    if (::fchmod(m_fd, mode) != 0)
        return Fail(errno);
    if (m_options.modified) {
        struct timespec times[2];
        times[0].tv_sec = times[1].tv_sec = *m_options.modified;
        times[0].tv_nsec = times[1].tv_nsec = 0;
        if (::futimens(m_fd, times) != 0)
            return Fail(errno);
    }
    if (m_options.durable && ::fsync(m_fd) != 0)
        return Fail(errno);
    // close() can report a deferred write error (a full disk on some file
    // systems); a second descriptor keeps the lock until the rename.
    const int fd = m_fd;
    const int hold = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    m_fd = hold;
    if (::close(fd) != 0)
        return Fail(errno);
    const int renamed =
        ::rename(m_nativeTemporary.constData(), QFile::encodeName(m_target).constData()) == 0 ? 0 : errno;
    if (renamed != 0)
        return Fail(renamed);
    m_nativeTemporary.clear();
    m_temporary.clear();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return true;
}

void CFileWriter::Abandon()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_nativeTemporary.isEmpty()) {
        ::unlink(m_nativeTemporary.constData());
        m_nativeTemporary.clear();
        m_temporary.clear();
    }
}

int RemoveStaleWriterFiles(const QString& folder)
{
    // Only the names Open makes.
    static const QRegularExpression ours(QStringLiteral("^\\.nvx[A-Za-z0-9]{6}\\.part$"));
    return RemoveUnlockedFiles(folder, ours);
}

bool WriteFileInPlace(const QString& targetPath, const QByteArray& bytes, const FileWriteOptions& options,
                      CFailure* failure)
{
    CFileWriter writer(targetPath, options);
    const bool ok = writer.Open() && writer.Write(bytes) && writer.Commit();
    if (!ok && failure)
        *failure = writer.Failure();
    return ok;
}

bool CopyFileInPlace(const QString& sourcePath, const QString& targetPath, const FileWriteOptions& options,
                     CFailure* failure)
{
    auto fail = [&](const CFailure& why) {
        if (failure)
            *failure = why;
        return false;
    };
    const int in = ::open(QFile::encodeName(sourcePath).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(CFailure::FromErrno(QStringLiteral("cannot read"), sourcePath, errno));
    CFileWriter writer(targetPath, options);
    bool ok = writer.Open();
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(in);
            return fail(CFailure::FromErrno(QStringLiteral("cannot read"), sourcePath, error));
        }
        if (n == 0)
            break;
        ok = writer.Write(buffer, size_t(n));
    }
    ::close(in);
    ok = ok && writer.Commit();
    return ok || fail(writer.Failure());
}

}  // namespace PLATFORM
