#include "pack/PackageInspector.h"

#include "common/MD5Encode.h"
#include "database/CppSQLite3DB.h"
#include "database/CppSQLite3Exception.h"
#include "database/PackageResources.h"
#include "manifest/InstallInfo.h"
#include "platform/ExecutableResources.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>

#include <sqlite3.h>
#include <zlib.h>

namespace {

// Deflate never does better than about 1032:1.
constexpr qint64 kMaxInflateRatio = 1032;

bool Fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool IsTimeText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
    return pattern.match(text).hasMatch();
}

// The original bytes of a row; false when they cannot be restored.
bool RestoreBytes(const PackageRowInfo& row, QByteArray& bytes)
{
    if (row.mode == 0) {
        bytes = row.data;
        return true;
    }
    if (row.length < 0 || row.length > (row.data.size() + 1) * kMaxInflateRatio)
        return false;
    bytes = QByteArray(qsizetype(row.length), Qt::Uninitialized);
    uLongf size = uLongf(row.length);
    const int rc = uncompress(reinterpret_cast<Bytef*>(bytes.data()), &size,
                              reinterpret_cast<const Bytef*>(row.data.constData()), uLong(row.data.size()));
    return rc == Z_OK && qint64(size) == row.length;
}

}  // namespace

CPackageInspector::CPackageInspector() = default;
CPackageInspector::~CPackageInspector() = default;

bool CPackageInspector::Open(const QString& path, QString* error)
{
    if (!QFile::exists(path) || QFileInfo(path).isDir())
        return Fail(error, QStringLiteral("%1: no such file").arg(path));
    PLATFORM::CExecutableResources resources;
    const QString type = PACKAGE_RESOURCES::ResourceType();
    if (resources.Open(path)
        && (resources.Find(type, PACKAGE_RESOURCES::kPackageId, PACKAGE_RESOURCES::kAttachedLanguage)
            || resources.Find(type, PACKAGE_RESOURCES::kDigestId, PACKAGE_RESOURCES::kAttachedLanguage))) {
        m_isInstaller = true;
        const PLATFORM::ResourceEntry* package =
            resources.Find(type, PACKAGE_RESOURCES::kPackageId, PACKAGE_RESOURCES::kAttachedLanguage);
        if (!package)
            return Fail(error, QStringLiteral("%1: installer without an attached package").arg(path));
        if (const PLATFORM::ResourceEntry* digest =
                resources.Find(type, PACKAGE_RESOURCES::kDigestId, PACKAGE_RESOURCES::kAttachedLanguage)) {
            m_hasAttachedDigest = digest->size <= 1024 && resources.Load(*digest, m_attachedDigest);
        }
        m_extracted =
            std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/norvex-pack-XXXXXX.cab"));
        if (!m_extracted->open())
            return Fail(error, QStringLiteral("cannot create a temporary file"));
        m_extracted->close();
        m_packagePath = m_extracted->fileName();
        if (!resources.SaveToFile(*package, m_packagePath))
            return Fail(error, QStringLiteral("%1: attached package cannot be read").arg(path));
    } else {
        m_packagePath = path;
    }
    return true;
}

bool CPackageInspector::ReadRows(std::vector<PackageRowInfo>& rows, QString* error) const
{
    rows.clear();
    DATABASE::CppSQLite3DB db;
    try {
        if (!db.OpenWithFlags(m_packagePath, SQLITE_OPEN_READONLY))
            return Fail(error, QStringLiteral("cannot open"));
        DATABASE::CppSQLite3Query query = db.ExecuteQuery(
            QStringLiteral("select id, name, mode, length, len, time, md5, data from files order by id;"));
        for (; !query.IsEof(); query.NextRow()) {
            PackageRowInfo row;
            row.id = query.GetInt64Field(0);
            row.name = query.GetTextField(1);
            row.mode = query.GetIntField(2);
            row.length = query.GetInt64Field(3);
            row.len = query.GetInt64Field(4);
            row.time = query.GetTextField(5);
            row.md5 = query.GetTextField(6);
            int size = 0;
            const unsigned char* data = query.GetBlobField(7, size);
            row.data = QByteArray(reinterpret_cast<const char*>(data), data ? size : 0);
            rows.push_back(std::move(row));
        }
        query.Finalize();
        db.Close();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        db.Close();
        return Fail(error, e.ErrorMessage());
    }
    return true;
}

QStringList CPackageInspector::CheckRow(const PackageRowInfo& row)
{
    QStringList problems;
    const QString name = row.name.isEmpty() ? QStringLiteral("row %1").arg(row.id) : row.name;
    if (row.mode != 0 && row.mode != 1) {
        problems << QStringLiteral("%1: unknown mode %2").arg(name).arg(row.mode);
        return problems;
    }
    if (row.len != row.data.size())
        problems << QStringLiteral("%1: len is %2 but the data has %3 bytes")
                        .arg(name)
                        .arg(row.len)
                        .arg(row.data.size());
    if (row.mode == 0 && row.length != row.data.size())
        problems << QStringLiteral("%1: stored, but length is %2 and the data has %3 bytes")
                        .arg(name)
                        .arg(row.length)
                        .arg(row.data.size());
    if (!IsTimeText(row.time))
        problems << QStringLiteral("%1: time \"%2\" is not YYYY-MM-DD HH:MM:SS").arg(name, row.time);
    QByteArray bytes;
    if (!RestoreBytes(row, bytes)) {
        problems << QStringLiteral("%1: data does not inflate to %2 bytes").arg(name).arg(row.length);
    } else if (row.mode == 0 && row.length != row.data.size()) {
        // Already reported; its digest says nothing more.
    } else {
        const QString digest = GetMD5OfBuffer(bytes.constData(), size_t(bytes.size()));
        if (row.md5 != digest) {
            problems
                << (row.md5.compare(digest, Qt::CaseInsensitive) == 0
                        ? QStringLiteral("%1: md5 text is not upper case").arg(name)
                        : QStringLiteral("%1: md5 mismatch (stored %2, data %3)").arg(name, row.md5, digest));
        }
    }
    return problems;
}

QStringList CPackageInspector::Verify(const std::function<void(qint64, qint64)>& progress) const
{
    QStringList problems;
    std::vector<PackageRowInfo> rows;
    QString error;
    if (!ReadRows(rows, &error)) {
        problems << QStringLiteral("package cannot be read: %1").arg(error);
        AppendDigestProblems(problems);
        return problems;
    }

    // The work is inflating and digesting, so it is measured in file bytes.
    auto work = [](const PackageRowInfo& row) { return std::max<qint64>(row.length, 0); };
    qint64 total = 0;
    for (const PackageRowInfo& row : rows)
        total += work(row);
    qint64 done = 0;
    if (progress)
        progress(0, total);

    QSet<QString> names;
    const PackageRowInfo* manifestRow = nullptr;
    for (const PackageRowInfo& row : rows) {
        if (names.contains(row.name))
            problems << QStringLiteral("%1: more than one row with this name").arg(row.name);
        names.insert(row.name);
        if (row.name == u"Install.xml" && !manifestRow)
            manifestRow = &row;
        problems << CheckRow(row);
        done += work(row);
        if (progress)
            progress(done, total);
    }

    if (!manifestRow) {
        problems << QStringLiteral("Install.xml: no such row");
    } else {
        QByteArray bytes;
        CInstallInfo info;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = RestoreBytes(*manifestRow, bytes) ? QString(decoder(bytes)) : QString();
        if (text.isEmpty() || decoder.hasError() || !info.LoadXml(text)) {
            problems << QStringLiteral("Install.xml: not a readable manifest");
        } else {
            for (const CInstFileInfo& file : info.files) {
                // Entries marked "nodw" are never deployed, so never looked up.
                if (!file.name.isEmpty() && file.action != u"nodw" && !names.contains(file.name))
                    problems << QStringLiteral("%1: listed in the manifest but has no row").arg(file.name);
            }
        }
    }

    AppendDigestProblems(problems);
    return problems;
}

void CPackageInspector::AppendDigestProblems(QStringList& problems) const
{
    if (m_isInstaller) {
        const QString digest = GetMD5OfFile(m_packagePath).toLower();
        if (!m_hasAttachedDigest)
            problems << QStringLiteral("installer: no attached digest text");
        else if (QString::fromLatin1(m_attachedDigest) != digest)
            problems << QStringLiteral("installer: attached digest text \"%1\" is not the package's %2")
                            .arg(QString::fromLatin1(m_attachedDigest), digest);
    }
}
