// Writing a file into place. The bytes go to a new temporary file beside the
// target, created exclusively; every write, the mode, the times and the close
// are checked; only then is the temporary file renamed over the target. So a
// reader never sees half a file, a failure leaves the old file as it was and
// no temporary file behind, and a symbolic link at the target is replaced,
// never written through. The temporary file is held locked while its writer
// lives, so what a killed writer left can be told from a file being written.
#pragma once

#include "common/Failure.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <ctime>
#include <optional>

#include <sys/types.h>

namespace PLATFORM {

// The run-bit rule: 0755 for content that starts with "#!" or the ELF magic
// 7F 45 4C 46, else 0644, both less the process's umask. head holds the first
// size bytes of the content (only the first four are looked at).
mode_t ModeForContent(const unsigned char* head, size_t size);

struct FileWriteOptions {
    // This exact mode (umask not applied) instead of the run-bit rule.
    std::optional<mode_t> exactMode;
    // 0666 less the umask whatever the content, as open() creates a file: for
    // downloads, which are checked before anything may run them.
    bool plainMode = false;
    // Access and modification time of the new file; now when not given.
    std::optional<time_t> modified;
    // Flushes the file to the disk before the rename: for files whose loss
    // after a crash would hurt (uninstall.xml, installers), not for bulk files.
    bool durable = false;
};

class CFileWriter {
public:
    explicit CFileWriter(const QString& targetPath, const FileWriteOptions& options = {});
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;
    // Removes the temporary file unless Commit succeeded.
    ~CFileWriter();

    // Creates the temporary file. Refused when the target is a folder, a
    // read-only file or something other than a file or link, or when its
    // folder does not take a new file.
    bool Open();
    // Appends count bytes. After a failure every later call fails too.
    bool Write(const void* data, size_t count);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), size_t(bytes.size())); }
    // Mode, times, optional flush, close, rename over the target. False when
    // any of them fails; the temporary file is then gone, the target unchanged.
    bool Commit();
    // Drops the temporary file; the target stays as it was.
    void Abandon();

    // Why the last call failed: "cannot write <target>: <cause>".
    const CFailure& Failure() const { return m_failure; }
    const QString& TargetPath() const { return m_target; }
    // The open temporary file, for writers that fill it by its name (SQLite).
    // Only meaningful between Open and Commit.
    const QString& TemporaryPath() const { return m_temporary; }
    // Bytes written through Write.
    qint64 Size() const { return m_size; }

private:
    bool Fail(int error);
    bool Fail(const QString& cause);

    QString m_target;
    FileWriteOptions m_options;
    QString m_temporary;
    CFileHandle m_file;
    qint64 m_size = 0;
    bool m_failed = false;
    CFailure m_failure;
};

// The whole file in one go. failure (may be null) receives the reason.
bool WriteFileInPlace(const QString& targetPath, const QByteArray& bytes,
                      const FileWriteOptions& options = {}, CFailure* failure = nullptr);

// A copy of the file at sourcePath written into place at targetPath.
bool CopyFileInPlace(const QString& sourcePath, const QString& targetPath,
                     const FileWriteOptions& options = {}, CFailure* failure = nullptr);

// Removes the temporary files that writers killed or cut off by a power loss
// left in folder; those of live writers stay. How many went.
int RemoveStaleWriterFiles(const QString& folder);

}  // namespace PLATFORM
