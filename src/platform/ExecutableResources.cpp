#include "platform/ExecutableResources.h"

#include "common/MessageTable.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <cstring>

namespace PLATFORM {
namespace {

constexpr char kMagic[8] = {'N', 'V', 'X', 'R', 'E', 'S', '0', '1'};
constexpr quint64 kFooterSize = 48;
constexpr quint64 kFieldsSize = 32;  // the four u64 fields the hash also covers
// The smallest entry: a one-byte type name.
constexpr quint64 kMinEntrySize = 2 + 1 + 4 + 2 + 8 + 8;
// A directory is a few hundred bytes; anything near this is damage.
constexpr quint64 kMaxDirectorySize = 1u << 20;
constexpr quint64 kMaxTypeNameBytes = 255;
constexpr qint64 kChunk = 1 << 20;

quint64 Fnv1a(quint64 hash, const char* data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        hash ^= quint8(data[i]);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

quint64 DirectoryHash(const QByteArray& directory, const char* fields)
{
    quint64 hash = 0xcbf29ce484222325ULL;
    hash = Fnv1a(hash, directory.constData(), directory.size());
    return Fnv1a(hash, fields, kFieldsSize);
}

void PutU16(QByteArray& out, quint16 v)
{
    v = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&v), 2);
}
void PutU32(QByteArray& out, quint32 v)
{
    v = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&v), 4);
}
void PutU64(QByteArray& out, quint64 v)
{
    v = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&v), 8);
}

// Bounds-checked little-endian reader over the directory bytes.
class Reader {
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}
    bool Take(qsizetype n, const char** p)
    {
        if (n < 0 || m_data.size() - m_pos < n)
            return false;
        *p = m_data.constData() + m_pos;
        m_pos += n;
        return true;
    }
    template <typename T>
    bool Get(T& v)
    {
        const char* p;
        if (!Take(sizeof(T), &p))
            return false;
        v = qFromLittleEndian<T>(p);
        return true;
    }
    bool AtEnd() const { return m_pos == m_data.size(); }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

bool ReadExactly(QFile& f, char* data, qint64 size)
{
    while (size > 0) {
        const qint64 n = f.read(data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool WriteAll(CFileWriter& out, const char* data, qint64 size)
{
    return out.Write(data, size_t(size));
}

// Copies size bytes from the current position of in to out.
bool CopyBytes(QFile& in, CFileWriter& out, quint64 size)
{
    QByteArray buffer(qint64(qMin<quint64>(size, kChunk)), Qt::Uninitialized);
    while (size > 0) {
        const qint64 n = qint64(qMin<quint64>(size, quint64(buffer.size())));
        if (!ReadExactly(in, buffer.data(), n) || !WriteAll(out, buffer.constData(), n))
            return false;
        size -= quint64(n);
    }
    return true;
}

// Copies in to out until its end; the number of bytes copied goes to copied.
bool CopyToEnd(QFile& in, CFileWriter& out, quint64& copied)
{
    QByteArray buffer(kChunk, Qt::Uninitialized);
    copied = 0;
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(out, buffer.constData(), n))
            return false;
        copied += quint64(n);
    }
}

bool SameType(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Entry ranges are checked against the file as it is when they are read.
bool RangeFits(const ResourceEntry& e, quint64 fileSize)
{
    return e.offset <= fileSize && e.size <= fileSize - e.offset;
}

}  // namespace

bool CExecutableResources::Open(const QString& path)
{
    m_damaged = false;
    m_path = path;
    m_fileSize = 0;
    m_executableSize = 0;
    m_entries.clear();

    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = f.size();
    if (size < 0)
        return false;
    m_fileSize = quint64(size);
    m_executableSize = m_fileSize;
    if (m_fileSize < kFooterSize)
        return false;

    char footer[kFooterSize];
    if (!f.seek(qint64(m_fileSize - kFooterSize)) || !ReadExactly(f, footer, kFooterSize))
        return false;
    if (std::memcmp(footer + kFooterSize - sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return false;
    // From here on a failure is damage, not an absence.
    m_damaged = true;
    const quint64 regionStart = qFromLittleEndian<quint64>(footer);
    const quint64 dirOffset = qFromLittleEndian<quint64>(footer + 8);
    const quint64 dirSize = qFromLittleEndian<quint64>(footer + 16);
    const quint64 count = qFromLittleEndian<quint64>(footer + 24);
    const quint64 storedHash = qFromLittleEndian<quint64>(footer + 32);

    // Everything must fit exactly: [region start .. blobs .. directory .. footer].
    const quint64 beforeFooter = m_fileSize - kFooterSize;
    if (dirSize > kMaxDirectorySize || dirSize > beforeFooter || dirOffset != beforeFooter - dirSize)
        return false;
    if (regionStart > dirOffset || count > dirSize / kMinEntrySize)
        return false;

    QByteArray directory(qint64(dirSize), Qt::Uninitialized);
    if (!f.seek(qint64(dirOffset)) || !ReadExactly(f, directory.data(), qint64(dirSize)))
        return false;
    if (DirectoryHash(directory, footer) != storedHash)
        return false;

    std::vector<ResourceEntry> entries;
    entries.reserve(count);
    Reader r(directory);
    for (quint64 i = 0; i < count; ++i) {
        quint16 nameSize = 0;
        const char* name = nullptr;
        ResourceEntry e;
        if (!r.Get(nameSize) || nameSize == 0 || !r.Take(nameSize, &name) || !r.Get(e.id)
            || !r.Get(e.language) || !r.Get(e.offset) || !r.Get(e.size))
            return false;
        e.type = QString::fromUtf8(name, nameSize);
        if (e.offset < regionStart || e.offset > dirOffset || e.size > dirOffset - e.offset)
            return false;
        entries.push_back(std::move(e));
    }
    if (!r.AtEnd())
        return false;

    m_entries = std::move(entries);
    m_executableSize = regionStart;
    m_damaged = false;
    return true;
}

const ResourceEntry* CExecutableResources::Find(const QString& type, quint32 id, quint16 language) const
{
    for (const ResourceEntry& e : m_entries) {
        if (e.id == id && e.language == language && SameType(e.type, type))
            return &e;
    }
    return nullptr;
}

bool CExecutableResources::Load(const ResourceEntry& entry, QByteArray& bytes) const
{
    bytes.clear();
    if (!RangeFits(entry, m_fileSize))
        return false;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly) || quint64(f.size()) != m_fileSize || !f.seek(qint64(entry.offset)))
        return false;
    QByteArray data(qint64(entry.size), Qt::Uninitialized);
    if (!ReadExactly(f, data.data(), qint64(entry.size)))
        return false;
    bytes = std::move(data);
    return true;
}

bool CExecutableResources::SaveToFile(const ResourceEntry& entry, const QString& destPath) const
{
    if (!RangeFits(entry, m_fileSize))
        return false;
    QFile in(m_path);
    if (!in.open(QIODevice::ReadOnly) || quint64(in.size()) != m_fileSize || !in.seek(qint64(entry.offset)))
        return false;
    // A working file of this run: private, and not worth a flush to the disk.
    FileWriteOptions options;
    options.exactMode = 0600;
    CFileWriter out(destPath, options);
    return out.Open() && CopyBytes(in, out, entry.size) && out.Commit();
}

bool CExecutableResources::Attach(const QString& templatePath, const std::vector<ResourceSource>& resources,
                                  const QString& outputPath, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };

    QSet<QString> keys;
    for (const ResourceSource& r : resources) {
        const QByteArray name = r.type.toUtf8();
        if (name.isEmpty() || quint64(name.size()) > kMaxTypeNameBytes)
            return fail(GetTextString(TEXT::InvalidResourceType).arg(r.type));
        const QString key = QStringLiteral("%1/%2/%3").arg(r.type.toUpper()).arg(r.id).arg(r.language);
        if (keys.contains(key))
            return fail(GetTextString(TEXT::DuplicateResource).arg(r.type).arg(r.id).arg(r.language));
        keys.insert(key);
    }

    CExecutableResources current;
    current.Open(templatePath);
    QFile in(templatePath);
    if (!QFileInfo(templatePath).isFile() || !in.open(QIODevice::ReadOnly))
        return fail(GetTextString(TEXT::CannotReadFile).arg(templatePath));
    if (quint64(in.size()) != current.m_fileSize)
        return fail(GetTextString(TEXT::ChangedWhileRead).arg(templatePath));

    // Written into place, so a reader never sees half a file. The output is
    // an installer that people run and copy: exactly 0755, flushed to disk.
    FileWriteOptions options;
    options.exactMode = 0755;
    options.durable = true;
    CFileWriter out(outputPath, options);
    if (!out.Open())
        return fail(out.Failure().Text());
    bool ok = CopyBytes(in, out, current.m_executableSize);
    QString why = ok ? QString() : GetTextString(TEXT::CannotCopyFile).arg(templatePath);

    const quint64 regionStart = current.m_executableSize;
    quint64 pos = regionStart;
    QByteArray directory;
    for (const ResourceSource& r : resources) {
        if (!ok)
            break;
        quint64 size = 0;
        if (r.sourcePath.isEmpty()) {
            size = quint64(r.bytes.size());
            ok = WriteAll(out, r.bytes.constData(), r.bytes.size());
        } else {
            QFile src(r.sourcePath);
            ok = QFileInfo(r.sourcePath).isFile() && src.open(QIODevice::ReadOnly)
                && CopyToEnd(src, out, size);
            if (!ok && !out.Failure().IsSet())
                why = GetTextString(TEXT::CannotCopyFile).arg(r.sourcePath);
        }
        const QByteArray name = r.type.toUtf8();
        PutU16(directory, quint16(name.size()));
        directory.append(name);
        PutU32(directory, r.id);
        PutU16(directory, r.language);
        PutU64(directory, pos);
        PutU64(directory, size);
        pos += size;
    }

    if (ok && quint64(directory.size()) > kMaxDirectorySize) {
        ok = false;
        why = GetTextString(TEXT::TooManyResources);
    }
    if (ok) {
        QByteArray footer;
        PutU64(footer, regionStart);
        PutU64(footer, pos);
        PutU64(footer, quint64(directory.size()));
        PutU64(footer, quint64(resources.size()));
        PutU64(footer, DirectoryHash(directory, footer.constData()));
        footer.append(kMagic, sizeof kMagic);
        ok = WriteAll(out, directory.constData(), directory.size())
            && WriteAll(out, footer.constData(), footer.size());
    }
    ok = ok && out.Commit();
    if (!ok) {
        // A failure of the output itself names the output and the system's reason.
        if (out.Failure().IsSet())
            why = out.Failure().Text();
        out.Abandon();
        return fail(why);
    }
    return true;
}

}  // namespace PLATFORM
