#include "pack/PackageWriter.h"

#include "common/MD5Encode.h"

#include <QFile>
#include <QFileInfo>

#include <ctime>
#include <memory>

#include <libdeflate.h>

void PackBytes(const QByteArray& content, int level, PackageRow& row)
{
    row.length = content.size();
    row.md5 = GetMD5OfBuffer(content.constData(), size_t(content.size()));
    // libdeflate writes the same zlib streams (78 DA at level 9), smaller and
    // in a fraction of zlib's time. Level 0 never gives a smaller stream.
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        level > 0 ? libdeflate_alloc_compressor(level) : nullptr, libdeflate_free_compressor);
    size_t packedSize = 0;
    QByteArray packed;
    if (compressor) {
        packed.resize(qsizetype(libdeflate_zlib_compress_bound(compressor.get(), size_t(content.size()))));
        packedSize = libdeflate_zlib_compress(compressor.get(), content.constData(), size_t(content.size()),
                                              packed.data(), size_t(packed.size()));
    }
    if (packedSize > 0 && qsizetype(packedSize) < content.size()) {
        packed.truncate(qsizetype(packedSize));
        row.mode = 1;
        row.data = packed;
    } else {
        row.mode = 0;
        row.data = content;
    }
}

QString PackageTimeText(qint64 secondsSinceEpoch)
{
    const time_t t = time_t(secondsSinceEpoch);
    struct tm local {};
    char text[32] = {};
    if (!localtime_r(&t, &local) || strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) != 19)
        return QStringLiteral("1970-01-01 00:00:00");
    return QString::fromLatin1(text);
}

CPackageWriter::~CPackageWriter() = default;

int CPackageWriter::CreateTables()
{
    m_db.Execute(QStringLiteral("PRAGMA page_size=%1;").arg(kPageSize));
    m_db.Execute(QStringLiteral("PRAGMA encoding='UTF-16le';"));
    return CInstallCabDB::CreateTables();
}

bool CPackageWriter::Create(const QString& path, QString* error)
{
    // An empty file is kept: it is one reserved beside the output, which is
    // later renamed into place. Anything else there is replaced.
    const QFileInfo existing(path);
    if (existing.exists() && (existing.isSymLink() || existing.size() > 0) && !QFile::remove(path)) {
        if (error)
            *error = QStringLiteral("cannot replace %1").arg(path);
        return false;
    }
    SetPath(path);
    if (!CreateDatabase() || !Open()) {
        if (error)
            *error = QStringLiteral("cannot create %1: %2").arg(path, GetLastError());
        return false;
    }
    return Run(QStringLiteral("BEGIN TRANSACTION;"), {}, error);
}

bool CPackageWriter::Run(const QString& sql, const DATABASE::SqlParams& params, QString* error)
{
    if (Exec(sql, params) == 0)
        return true;
    if (error)
        *error = GetLastError().isEmpty() ? QStringLiteral("database error") : GetLastError();
    return false;
}

bool CPackageWriter::AddConfig(const QString& id, const QString& strValue, int intValue, QString* error)
{
    return Run(QStringLiteral("insert into config(ID, strValue, intValue) values(?, ?, ?);"),
               {id, strValue, intValue}, error);
}

bool CPackageWriter::AddFile(const PackageRow& row, QString* error)
{
    return Run(QStringLiteral("insert into files(name, ver, path, pack, action, mode, length, len, "
                              "time, md5, data) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);"),
               {row.name, row.ver, row.path, row.pack, row.action, row.mode, row.length,
                qint64(row.data.size()), row.time, row.md5, row.data},
               error);
}

bool CPackageWriter::Finish(QString* error)
{
    if (!Run(QStringLiteral("COMMIT TRANSACTION;"), {}, error))
        return false;
    if (!Close()) {
        if (error)
            *error = GetLastError();
        return false;
    }
    return true;
}
