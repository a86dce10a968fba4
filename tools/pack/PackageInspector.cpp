#include "pack/PackageInspector.h"

#include "common/MD5Encode.h"
#include "database/CppSQLite3Exception.h"
#include "database/InstallCabDB.h"
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
#include <memory>

namespace {

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

bool CPackageInspector::OpenPackage(CInstallCabDB& db, QString* error) const
{
    return db.OpenPackage({m_packagePath}) || Fail(error, db.GetLastError());
}

bool CPackageInspector::ReadRows(CInstallCabDB& db, std::vector<PackageRowInfo>& rows, QString* error)
{
    rows.clear();
    DATABASE::CppSQLite3Query query;
    if (!db.Query(QStringLiteral("select id, rowid, name, mode, length, len, time, md5, typeof(data) "
                                 "from files order by id;"),
                  query))
        return Fail(error, db.GetLastError());
    try {
        for (; !query.IsEof(); query.NextRow()) {
            PackageRowInfo row;
            row.id = query.GetInt64Field(0);
            row.row = query.GetInt64Field(1);
            row.name = query.GetTextField(2);
            row.mode = query.GetIntField(3);
            row.length = query.GetInt64Field(4);
            row.len = query.GetInt64Field(5);
            row.time = query.GetTextField(6);
            row.md5 = query.GetTextField(7);
            row.dataType = query.GetTextField(8);
            rows.push_back(std::move(row));
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        return Fail(error, e.ErrorMessage());
    }
    return true;
}

bool CPackageInspector::ReadRows(std::vector<PackageRowInfo>& rows, QString* error) const
{
    CInstallCabDB db;
    const bool ok = OpenPackage(db, error) && ReadRows(db, rows, error);
    db.Close();
    return ok;
}

QStringList CPackageInspector::CheckRow(CInstallCabDB& db, const PackageRowInfo& row, QByteArray* bytes)
{
    QStringList problems;
    const QString name = row.name.isEmpty() ? QStringLiteral("row %1").arg(row.id) : row.name;
    if (row.mode != 0 && row.mode != 1) {
        problems << QStringLiteral("%1: unknown mode %2").arg(name).arg(row.mode);
        return problems;
    }
    const bool compressed = row.mode == 1;
    try {
        const std::unique_ptr<DATABASE::CEntryData> data = db.EntryData(row.row, row.dataType);
        if (row.len != data->Size())
            problems << QStringLiteral("%1: len is %2 but the data has %3 bytes")
                            .arg(name)
                            .arg(row.len)
                            .arg(data->Size());
        if (!compressed && row.length != data->Size())
            problems << QStringLiteral("%1: stored, but length is %2 and the data has %3 bytes")
                            .arg(name)
                            .arg(row.length)
                            .arg(data->Size());
        if (!IsTimeText(row.time))
            problems << QStringLiteral("%1: time \"%2\" is not YYYY-MM-DD HH:MM:SS").arg(name, row.time);

        // Only the manifest's bytes are kept; the others are checked and dropped.
        QString digest;
        const DATABASE::EntryCheck check = data->Restore(
            compressed, row.length, row.md5,
            [bytes](const unsigned char* chunk, size_t count) {
                if (bytes)
                    bytes->append(reinterpret_cast<const char*>(chunk), qsizetype(count));
                return true;
            },
            &digest);
        if (bytes && check != DATABASE::EntryCheck::Ok && check != DATABASE::EntryCheck::DigestMismatch)
            bytes->clear();
        switch (check) {
        case DATABASE::EntryCheck::Ok:
        case DATABASE::EntryCheck::Stopped:
            break;
        case DATABASE::EntryCheck::DigestMismatch:
            problems
                << (row.md5.compare(digest, Qt::CaseInsensitive) == 0
                        ? QStringLiteral("%1: md5 text is not upper case").arg(name)
                        : QStringLiteral("%1: md5 mismatch (stored %2, data %3)").arg(name, row.md5, digest));
            break;
        case DATABASE::EntryCheck::SizeMismatch:
        case DATABASE::EntryCheck::Damaged:
            // A stored entry's wrong length is reported above.
            if (compressed)
                problems << QStringLiteral("%1: data does not inflate to %2 bytes").arg(name).arg(row.length);
            else if (check == DATABASE::EntryCheck::Damaged)
                problems << QStringLiteral("%1: %2").arg(name, DATABASE::EntryCheckReason(check));
            break;
        case DATABASE::EntryCheck::OutOfMemory:
            problems << QStringLiteral("%1: %2").arg(name, DATABASE::EntryCheckReason(check));
            break;
        }
    } catch (const DATABASE::CppSQLite3Exception& e) {
        problems << QStringLiteral("%1: data cannot be read (%2)").arg(name, e.ErrorMessage());
        if (bytes)
            bytes->clear();
    }
    return problems;
}

QStringList CPackageInspector::Verify(const std::function<void(qint64, qint64)>& progress) const
{
    QStringList problems;
    CInstallCabDB db;
    std::vector<PackageRowInfo> rows;
    QString error;
    if (!OpenPackage(db, &error) || !ReadRows(db, rows, &error)) {
        db.Close();
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
    bool hasManifest = false;
    QByteArray manifest;
    for (const PackageRowInfo& row : rows) {
        if (names.contains(row.name))
            problems << QStringLiteral("%1: more than one row with this name").arg(row.name);
        names.insert(row.name);
        // The first row of a name is the one the installer reads.
        const bool isManifest = row.name == u"Install.xml" && !hasManifest;
        hasManifest = hasManifest || isManifest;
        problems << CheckRow(db, row, isManifest ? &manifest : nullptr);
        done += work(row);
        if (progress)
            progress(done, total);
    }
    db.Close();

    if (!hasManifest) {
        problems << QStringLiteral("Install.xml: no such row");
    } else {
        CInstallInfo info;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(manifest);
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
