#include "pack/PackageWriter.h"

#include "common/MD5Encode.h"

#include <QFile>
#include <QFileInfo>

#include <zlib.h>

#include <ctime>

void PackBytes(const QByteArray& content, int level, PackageRow& row)
{
    row.length = content.size();
    row.md5 = GetMD5OfBuffer(content.constData(), size_t(content.size()));
    uLongf packedSize = compressBound(uLong(content.size()));
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    const int rc = compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                             reinterpret_cast<const Bytef*>(content.constData()),
                             uLong(content.size()), level);
    if (rc == Z_OK && qsizetype(packedSize) < content.size()) {
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

bool CPackageWriter::AddConfig(const QString& id, const QString& strValue, int intValue,
                               QString* error)
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
