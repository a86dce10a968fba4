// Resources attached to the end of an executable file: the Linux stand-in for
// the resource section of a Windows executable.
//
// Layout of an attached region, after the executable's own bytes:
//   blobs                 the resources' bytes, back to back
//   directory             per entry: u16 type-name length, UTF-8 type name,
//                         u32 id, u16 language, u64 offset, u64 size
//   footer (48 bytes)     u64 region start, u64 directory offset,
//                         u64 directory size, u64 entry count,
//                         u64 FNV-1a hash of directory + the four fields above,
//                         8-byte magic "NVXRES01"
// All integers are little-endian; offsets are from the start of the file.
// Any inconsistency (no magic, a footer or directory that does not fit, a
// range outside the blob area, a hash mismatch) means "no attached resources";
// when the magic is there, such a file is also marked damaged.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace PLATFORM {

struct ResourceEntry {
    QString type;  // resource type name, e.g. "RT_INSTALL"
    quint32 id = 0;
    quint16 language = 0;
    quint64 offset = 0;  // from the start of the file
    quint64 size = 0;
};

// One resource to attach: its bytes, or the file to copy them from when
// sourcePath is not empty (streamed, never loaded whole).
struct ResourceSource {
    QString type;
    quint32 id = 0;
    quint16 language = 0;
    QByteArray bytes;
    QString sourcePath;
};

class CExecutableResources {
public:
    // Reads the attached directory of a file. False (and no entries) when the
    // file cannot be read or carries no sound directory.
    bool Open(const QString& path);

    // True after Open when the footer's magic is present but the region behind
    // it is not sound (or could not be read): the file was cut or altered.
    bool Damaged() const { return m_damaged; }

    const QString& Path() const { return m_path; }
    const std::vector<ResourceEntry>& Entries() const { return m_entries; }
    // Size of the file's own bytes before any attached region (the whole file
    // when nothing is attached; 0 when it could not be read).
    quint64 ExecutableSize() const { return m_executableSize; }

    // The entry with this type (ASCII case ignored, as resource names are),
    // id and language; null when absent.
    const ResourceEntry* Find(const QString& type, quint32 id, quint16 language) const;

    // All bytes of one entry. False when the file changed since Open or cannot
    // be read.
    bool Load(const ResourceEntry& entry, QByteArray& bytes) const;
    // Writes one entry to destPath (created or truncated) in chunks. False when
    // the source cannot be read or the destination not fully written.
    bool SaveToFile(const ResourceEntry& entry, const QString& destPath) const;

    // Writes outputPath = the template's own bytes (any attached region cut
    // off, so attaching again replaces) + the given resources, atomically and
    // with mode 0755. The template may be the output itself. Duplicate
    // (type, id, language) keys, empty or overlong type names and unreadable
    // sources are refused; on failure outputPath is untouched and error (if
    // given) says why.
    static bool Attach(const QString& templatePath, const std::vector<ResourceSource>& resources,
                       const QString& outputPath, QString* error = nullptr);

private:
    QString m_path;
    quint64 m_fileSize = 0;
    quint64 m_executableSize = 0;
    bool m_damaged = false;
    std::vector<ResourceEntry> m_entries;
};

}  // namespace PLATFORM
