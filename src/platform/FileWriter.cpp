#include "platform/FileWriter.h"

#include "common/MessageTable.h"
#include "platform/FileSystem.h"
#include "platform/TempFiles.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace PLATFORM {
namespace {

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
    m_failure = CFailure::FromErrno(GetTextString(TEXT::CannotWrite), m_target, error);
    Abandon();
    m_failed = true;
    return false;
}

bool CFileWriter::Fail(const QString& cause)
{
    m_failure = {GetTextString(TEXT::CannotWrite), m_target, cause};
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

    FileIdentity st;
    if (const int error = IdentifyPath(m_target, &st, Links::DoNotFollow); error == 0) {
        if (st.IsFolder())
            return Fail(EISDIR);
        // A read-only file stays read-only, as it would when written in place.
        const int denied = st.IsFile() ? CheckWritable(m_target) : 0;
        if (denied != 0)
            return Fail(denied);
        if (!st.IsFile() && !st.IsLink())
            return Fail(GetTextString(TEXT::NotRegularFile));
    } else if (error != ENOENT) {
        return Fail(error);
    }

    const QString folder = slash < 0 ? QStringLiteral(".") : slash == 0 ? QString() : m_target.left(slash);
    LockedFile made = CreateLockedUniqueFile(folder + QStringLiteral("/.nvx"), QStringLiteral(".part"));
    if (made.handle.IsOpen()) {
        m_file = std::move(made.handle);
        m_temporary = made.path;
        return true;
    }
    if (made.error != 0)
        return Fail(made.error);
    return Fail(GetTextString(TEXT::TempFileTakenAway));
}

bool CFileWriter::Write(const void* data, size_t count)
{
    if (m_failed || !m_file.IsOpen())
        return false;
    if (const int error = m_file.WriteAll(data, count, &m_size); error != 0)
        return Fail(error);
    return true;
}

bool CFileWriter::Commit()
{
    if (m_failed || !m_file.IsOpen())
        return false;
    mode_t mode;
    if (m_options.exactMode) {
        mode = *m_options.exactMode;
    } else if (m_options.plainMode) {
        mode = 0666 & ~ProcessUmask();
    } else {
        // Read back, so content written by name (SQLite) counts as well.
        unsigned char head[4] = {};
        const qint64 got = m_file.ReadAt(head, sizeof head, 0);
        mode = ModeForContent(head, got > 0 ? size_t(got) : 0);
    }
    if (const int error = m_file.SetMode(mode); error != 0)
        return Fail(error);
    if (m_options.modified) {
        if (const int error = m_file.SetTimes(*m_options.modified); error != 0)
            return Fail(error);
    }
    if (m_options.durable) {
        if (const int error = m_file.Sync(); error != 0)
            return Fail(error);
    }
    // close() can report a deferred write error (a full disk on some file
    // systems); a second descriptor keeps the lock until the rename.
    CFileHandle hold = m_file.Duplicate();
    if (const int error = m_file.Close(); error != 0) {
        m_file = std::move(hold);
        return Fail(error);
    }
    m_file = std::move(hold);
    if (const int error = Rename(m_temporary, m_target); error != 0)
        return Fail(error);
    m_temporary.clear();
    m_file.Close();
    return true;
}

void CFileWriter::Abandon()
{
    m_file.Close();
    if (!m_temporary.isEmpty()) {
        RemoveFile(m_temporary);
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
    CFileHandle in = OpenForReading(sourcePath);
    if (!in.IsOpen())
        return fail(CFailure::FromErrno(GetTextString(TEXT::CannotRead), sourcePath, errno));
    CFileWriter writer(targetPath, options);
    bool ok = writer.Open();
    char buffer[1 << 16];
    while (ok) {
        const qint64 n = in.Read(buffer, sizeof buffer);
        if (n < 0)
            return fail(CFailure::FromErrno(GetTextString(TEXT::CannotRead), sourcePath, errno));
        if (n == 0)
            break;
        ok = writer.Write(buffer, size_t(n));
    }
    in.Close();
    ok = ok && writer.Commit();
    return ok || fail(writer.Failure());
}

}  // namespace PLATFORM
