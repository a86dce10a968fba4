#include "database/InstallCabDB.h"

#include "common/DecimalText.h"
#include "common/MD5Encode.h"
#include "common/MessageTable.h"
#include "common/PumpMessages.h"
#include "database/PackageVfs.h"
#include "platform/FileSystem.h"
#include "platform/FileWriter.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <optional>

#include <sqlite3.h>

namespace {

// atoi over a fixed slice of the text.
int FieldValue(const QString& text, int pos, int count)
{
    return ReadDecimal(QStringView(text).mid(pos, count));
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// The calendar time of a "YYYY-MM-DD HH:MM:SS" text read as the machine's local
// standard time. False when the fields do not name a real moment.
bool TimeFromText(const QString& text, time_t& result)
{
    const int n = int(text.size());
    int year = n >= 4 ? FieldValue(text, 0, 4) : 2015;
    const int month = n >= 7 ? FieldValue(text, 5, 2) : 1;
    const int day = n >= 10 ? FieldValue(text, 8, 2) : 1;
    const int hour = n >= 13 ? FieldValue(text, 11, 2) : 0;
    const int minute = n >= 16 ? FieldValue(text, 14, 2) : 0;
    const int second = n >= 19 ? FieldValue(text, 17, 2) : 0;
    if (year < 1971)
        year = 1971;

    static const int daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year > 30827 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 59)
        return false;
    const int monthDays = daysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    if (day < 1 || day > monthDays)
        return false;

    struct tm tmv = {};
    tmv.tm_year = year - 1900;
    tmv.tm_mon = month - 1;
    tmv.tm_mday = day;
    tmv.tm_hour = hour;
    tmv.tm_min = minute;
    tmv.tm_sec = second;
    tmv.tm_isdst = 0;  // standard time, never daylight saving
    errno = 0;
    const time_t t = mktime(&tmv);
    if (t == time_t(-1) && errno != 0)
        return false;
    result = t;
    return true;
}

// Restores the entry into a temporary file beside the target, digesting the
// bytes as they pass, and renames it over the target only when all `length`
// bytes came out, their digest is `md5` and every write succeeded. So a damaged
// entry, a failure or a cancel never leaves a half-written file and never
// damages an existing one. failure receives the reason of a false result.
bool RestoreTargetFile(const QString& name, const QString& targetPath, DATABASE::CEntryData& data,
                       bool compressed, int64_t length, const QString& md5, bool pump,
                       const QString& timeText, CFailure& failure)
{
    const QString extracting = GetTextString(TEXT::CannotExtractTo).arg(name);
    PLATFORM::FileWriteOptions options;
    time_t stamp;
    if (TimeFromText(timeText, stamp))
        options.modified = stamp;
    PLATFORM::CFileWriter writer(targetPath, options);
    if (!writer.Open()) {
        failure = writer.Failure();
        return false;
    }
    bool cancelled = false;
    const DATABASE::EntryCheck check =
        data.Restore(compressed, length, md5, [&](const unsigned char* chunk, size_t count) {
            if (pump && PumpMessages() != 0) {
                cancelled = true;
                return false;
            }
            return writer.Write(chunk, count);
        });
    if (check == DATABASE::EntryCheck::Stopped) {
        failure =
            cancelled ? CFailure{extracting, targetPath, GetTextString(TEXT::Cancelled)} : writer.Failure();
        return false;
    }
    if (check != DATABASE::EntryCheck::Ok) {
        failure = {extracting, targetPath, DATABASE::EntryCheckReason(check)};
        return false;
    }
    if (!writer.Commit()) {
        failure = writer.Failure();
        return false;
    }
    return true;
}

// A package as the stamp of its file: two equal stamps mean an unchanged file.
struct PackageStamp {
    PLATFORM::FileIdentity file;
    uint32_t changeCounter = 0;  // SQLite bumps it on every committed write

    bool operator==(const PackageStamp& o) const
    {
        return PLATFORM::UnchangedSince(file, o.file) && file.changedSeconds == o.file.changedSeconds
            && file.changedNanoseconds == o.file.changedNanoseconds && changeCounter == o.changeCounter;
    }
};

std::optional<PackageStamp> StampOf(const DATABASE::PackageSource& package)
{
    const PLATFORM::CFileHandle handle = PLATFORM::OpenForReading(package.path);
    if (!handle.IsOpen())
        return std::nullopt;
    PackageStamp stamp;
    unsigned char counter[4];
    if (handle.Identify(&stamp.file) != 0 || !stamp.file.IsFile()
        || handle.ReadAt(counter, sizeof counter, package.offset + 24) != qint64(sizeof counter))
        return std::nullopt;
    stamp.changeCounter = uint32_t(counter[0]) << 24 | uint32_t(counter[1]) << 16 | uint32_t(counter[2]) << 8
        | uint32_t(counter[3]);
    return stamp;
}

// The rowid of the first row of every name in the files table of the open db.
bool LoadFirstRows(DATABASE::CSQLiteDBBase& db, QHash<QString, int64_t>& rows)
{
    rows.clear();
    DATABASE::CppSQLite3Query query;
    // Only text can equal the bound name; rowid order makes the first row win.
    if (!db.Query(QStringLiteral("select rowid, name from files where typeof(name)='text' "
                                 "order by rowid;"),
                  query))
        return false;
    try {
        for (; !query.IsEof(); query.NextRow()) {
            const QString name = query.GetTextField(1);
            if (!rows.contains(name))  // the first row of a name is its entry
                rows.insert(name, query.GetInt64Field(0));
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception&) {
        rows.clear();
        return false;
    }
    return true;
}

const char16_t kRowQuery[] =
    u"select mode, length, len, md5,time,typeof(data) as datatype,"
    u"rowid as entryrow from files where rowid=? and name=?;";

}  // namespace

// The files table has no index on name, so every lookup scans the whole table;
// with thousands of entries, extracting them one by one costs a scan each. The
// first lookup in a package notes the first row of every name, with the stamp
// of the file then; later lookups in the same, unchanged file go straight to
// that row. Anything unexpected falls back to the plain lookup, so the notes can
// only save time, never change a result. While the package is kept open, the
// connection stays from one entry to the next and the row lookup is compiled once.
struct CInstallCabDB::Session {
    PackageStamp stamp;
    DATABASE::PackageSource source;
    bool rowsNoted = false;
    QHash<QString, int64_t> rows;
    bool kept = false;               // the open connection is on this package, kept for the next entry
    sqlite3_stmt* lookup = nullptr;  // compiled on it

    bool Of(const PackageStamp& s, const DATABASE::PackageSource& package) const
    {
        return stamp == s && source == package;
    }
    ~Session() { sqlite3_finalize(lookup); }
};

CInstallCabDB::CInstallCabDB() = default;

CInstallCabDB::~CInstallCabDB()
{
    EndSession();
}

void CInstallCabDB::KeepPackageOpen(bool keep)
{
    m_keepOpen = keep;
    if (!keep && m_session && m_session->kept) {
        EndSession();
        CloseKeepingError();
    }
}

void CInstallCabDB::EndSession()
{
    if (!m_session)
        return;
    // The statement goes before the connection.
    sqlite3_finalize(m_session->lookup);
    m_session->lookup = nullptr;
    m_session->kept = false;
}

void CInstallCabDB::CloseForReopen()
{
    EndSession();
    if (IsOpen())
        CloseKeepingError();
}

bool CInstallCabDB::KeptOpenOn(const DATABASE::PackageSource& package) const
{
    if (!m_keepOpen || !m_session || !m_session->kept || !IsOpen() || m_session->source != package)
        return false;
    const std::optional<PackageStamp> stamp = StampOf(package);
    return stamp && *stamp == m_session->stamp;
}

bool CInstallCabDB::OpenForExtract(const DATABASE::PackageSource& package)
{
    CloseForReopen();
    // Stamped before the check, so a change after it shows at the next entry.
    const std::optional<PackageStamp> stamp = m_keepOpen ? StampOf(package) : std::nullopt;
    if (!OpenPackage(package))
        return false;
    if (!stamp)
        return true;
    if (!m_session || !m_session->Of(*stamp, package)) {
        m_session = std::make_unique<Session>();
        m_session->stamp = *stamp;
        m_session->source = package;
    }
    m_session->kept = true;
    const QString sql = QString::fromUtf16(kRowQuery);
    const QString error = m_lastError;
    // Without the notes or the statement each entry is looked up the plain way.
    if (!m_session->rowsNoted)
        m_session->rowsNoted = LoadFirstRows(*this, m_session->rows);
    if (!m_session->rowsNoted
        || sqlite3_prepare16_v3(m_db.Handle(), sql.utf16(), int(sql.size() * 2), SQLITE_PREPARE_PERSISTENT,
                                &m_session->lookup, nullptr)
            != SQLITE_OK) {
        sqlite3_finalize(m_session->lookup);
        m_session->lookup = nullptr;
    }
    m_lastError = error;
    return true;
}

std::optional<int64_t> CInstallCabDB::NotedRow(const DATABASE::PackageSource& package, const QString& name)
{
    const std::optional<PackageStamp> stamp = StampOf(package);
    if (!stamp)
        return std::nullopt;
    if (!m_session || !m_session->Of(*stamp, package)) {
        // A connection kept open keeps the notes it was opened with.
        if (m_session && m_session->kept)
            return std::nullopt;
        m_session = std::make_unique<Session>();
        m_session->stamp = *stamp;
        m_session->source = package;
    }
    if (!m_session->rowsNoted)
        m_session->rowsNoted = LoadFirstRows(*this, m_session->rows);
    if (!m_session->rowsNoted)
        return std::nullopt;
    const auto it = m_session->rows.constFind(name);
    if (it == m_session->rows.constEnd())
        return std::nullopt;
    return *it;
}

int CInstallCabDB::CreateTables()
{
    CSQLiteDBBase::CreateTables();
    // An error here goes to CreateDatabase's handler.
    m_db.Execute(
        QStringLiteral("create table files(id INTEGER PRIMARY KEY AUTOINCREMENT, name\tntext, ver\t\tntext, "
                       "path\tntext, pack\tntext, action\tntext, mode\tint, length\tint, len\t\tint, "
                       "time\tntext, md5\t\tntext, data\tblob);"));
    return 0;
}

bool CInstallCabDB::OpenPackage(const DATABASE::PackageSource& package)
{
    SetPath(package.path);
    m_lastError.clear();
    PLATFORM::FileIdentity identity;
    // A package is input from outside: nothing is created where none is, it
    // is read only, with SQLite's defensive mode and an untrusted schema, and
    // its two tables, where present, must be plain tables. A view (say, over
    // an endless recursive query) or a virtual table would run the package's
    // own code. A missing table is left to the query that needs it, which
    // names it.
    if (PLATFORM::IdentifyPath(package.path, &identity) != 0 || !identity.IsFile()) {
        m_lastError = GetTextString(TEXT::PackageNotAFile);
        return false;
    }
    if (!m_db.OpenWithFlags(QString::fromLatin1(DATABASE::PackageVfsUri(package)),
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, DATABASE::PackageVfsName())) {
        if (m_lastError.isEmpty())
            m_lastError = GetTextString(TEXT::PackageCannotBeOpened);
        return false;
    }
    sqlite3* db = m_db.Handle();
    int applied = 0;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &applied) != SQLITE_OK || applied != 1
        || sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &applied) != SQLITE_OK || applied != 0) {
        m_lastError = GetTextString(TEXT::PackageNotOpenedSafely);
        CloseKeepingError();
        return false;
    }
    DATABASE::CppSQLite3Query query;
    bool plain = false;
    if (Query(QStringLiteral("select count(*) from sqlite_master where "
                             "(name='files' collate nocase or name='config' collate nocase) and "
                             "(type<>'table' or sql like 'create virtual%');"),
              query)) {
        try {
            plain = !query.IsEof() && query.GetInt64Field(0) == 0;
            query.Finalize();
        } catch (const DATABASE::CppSQLite3Exception& e) {
            m_lastError = e.ErrorMessage();
        }
    }
    if (!plain) {
        if (m_lastError.isEmpty())
            m_lastError = GetTextString(TEXT::PackageNotATable);
        CloseKeepingError();
        return false;
    }
    return true;
}

void CInstallCabDB::CloseKeepingError()
{
    const QString error = m_lastError;
    if (Close())
        m_lastError = error;
}

std::unique_ptr<DATABASE::CEntryData> CInstallCabDB::EntryData(int64_t row, const QString& dataType)
{
    return std::make_unique<DATABASE::CEntryData>(m_db, row, dataType);
}

bool CInstallCabDB::ReadEntryLengths(const DATABASE::PackageSource& package, QHash<QString, qint64>& lengths)
{
    m_failure.Clear();
    lengths.clear();
    const QString reading = GetTextString(TEXT::CannotReadPackage);
    CloseForReopen();
    if (!OpenPackage(package)) {
        m_failure = {reading, package.path, GetLastError()};
        return false;
    }
    DATABASE::CppSQLite3Query query;
    // As for the entries themselves: only a text name can be asked for.
    bool result = Query(
        QStringLiteral("select name, length from files where typeof(name)='text' order by rowid;"), query);
    try {
        for (; result && !query.IsEof(); query.NextRow()) {
            const QString name = query.GetTextField(0);
            if (!lengths.contains(name))
                lengths.insert(name, std::max<qint64>(query.GetInt64Field(1), 0));
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        result = false;
    }
    if (!result)
        m_failure = {reading, package.path, GetLastError()};
    query = DATABASE::CppSQLite3Query();
    CloseKeepingError();
    return result;
}

bool CInstallCabDB::FindEntry(const QString& name, const DATABASE::PackageSource& package,
                              DATABASE::CppSQLite3Query& query)
{
    const QString reading = GetTextString(TEXT::CannotReadPackage);
    if (!KeptOpenOn(package) && !OpenForExtract(package)) {
        m_failure = {reading, package.path, GetLastError()};
        return false;
    }
    // A failed shortcut leaves no trace: the plain lookup below decides.
    const QString error = m_lastError;
    bool found = false;
    if (m_session && m_session->lookup) {
        const auto row = m_session->rows.constFind(name);
        sqlite3_stmt* lookup = m_session->lookup;
        sqlite3_reset(lookup);
        if (row != m_session->rows.constEnd() && sqlite3_bind_int64(lookup, 1, *row) == SQLITE_OK
            && sqlite3_bind_text16(lookup, 2, name.utf16(), int(name.size() * 2), SQLITE_TRANSIENT)
                == SQLITE_OK
            && sqlite3_step(lookup) == SQLITE_ROW) {
            query = DATABASE::CppSQLite3Query(m_db.Handle(), lookup, false, false);
            found = true;
        }
    } else {
        const std::optional<int64_t> row = NotedRow(package, name);
        found = row && Query(QString::fromUtf16(kRowQuery), query, {qint64(*row), name}) && !query.IsEof();
    }
    m_lastError = error;
    if (found)
        return true;
    query = DATABASE::CppSQLite3Query();
    if (!Query(QStringLiteral("select mode, length, len, md5,time,typeof(data) as datatype,"
                              "rowid as entryrow from files where name=?;"),
               query, {name})) {
        m_failure = {reading, package.path, GetLastError()};
        CloseKeepingError();
        return false;
    }
    return true;
}

void CInstallCabDB::DoneWithEntry(DATABASE::CppSQLite3Query& query)
{
    query = DATABASE::CppSQLite3Query();
    if (m_session && m_session->kept)
        sqlite3_reset(m_session->lookup);
    else
        CloseKeepingError();
}

bool CInstallCabDB::ExtractFile(const QString& name, const QString& targetPath,
                                const DATABASE::PackageSource& package, bool pump, int* outLength)
{
    m_failure.Clear();
    const QString reading = GetTextString(TEXT::CannotReadPackage);
    DATABASE::CppSQLite3Query query;
    if (!FindEntry(name, package, query))
        return false;
    bool result = false;
    try {
        if (query.IsEof()) {
            m_failure = {GetTextString(TEXT::CannotExtractTo).arg(name), targetPath,
                         GetTextString(TEXT::NoSuchEntry)};
        } else {
            const QString md5 = query.GetTextField(QStringLiteral("md5"));
            const QString timeText = query.GetTextField(QStringLiteral("time"));
            const int64_t mode = query.GetInt64Field(QStringLiteral("mode"));
            const int64_t length = query.GetInt64Field(QStringLiteral("length"));
            const int64_t len = query.GetInt64Field(QStringLiteral("len"));
            const int64_t row = query.GetInt64Field(QStringLiteral("entryrow"));
            if (outLength)
                *outLength = query.GetIntField(QStringLiteral("length"));

            // The data is read in pieces straight from the file; only values that
            // are not blobs (or a blob SQLite cannot open so) are fetched whole.
            DATABASE::CEntryData data(m_db, row, query.GetTextField(QStringLiteral("datatype")));
            const bool compressed = mode == 1;
            // Sizes that cannot belong to a sound row are refused before anything is
            // allocated or read past the data.
            if (len != data.Size() || !data.Holds(compressed, length)) {
                m_failure = {GetTextString(TEXT::CannotExtractTo).arg(name), targetPath,
                             GetTextString(TEXT::SizeMismatch)};
            } else {
                result = RestoreTargetFile(name, targetPath, data, compressed, length, md5, pump, timeText,
                                           m_failure);
            }
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        m_failure = {reading, package.path, m_lastError};
        result = false;
        EndSession();  // a package that cannot be read is opened anew next time
    }
    DoneWithEntry(query);
    return result;
}

bool CInstallCabDB::TargetIsCurrent(const QString& name, const QString& targetPath,
                                    const DATABASE::PackageSource& package, bool pump, int* outLength)
{
    m_failure.Clear();
    // What is on disk first: a missing or different target mostly shows in
    // its kind, size or time, without a look at the package.
    PLATFORM::FileIdentity onDisk;
    if (PLATFORM::IdentifyPath(targetPath, &onDisk, PLATFORM::Links::DoNotFollow) != 0 || !onDisk.IsFile()
        || onDisk.links != 1 || onDisk.owner != PLATFORM::EffectiveUserId()
        || onDisk.modifiedNanoseconds != 0)
        return false;

    DATABASE::CppSQLite3Query query;
    if (!FindEntry(name, package, query))
        return false;  // the extraction that follows says why
    QString md5;
    QString timeText;
    int64_t length = -1;
    try {
        if (!query.IsEof()) {
            md5 = query.GetTextField(QStringLiteral("md5"));
            timeText = query.GetTextField(QStringLiteral("time"));
            length = query.GetInt64Field(QStringLiteral("length"));
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        length = -1;
        EndSession();
    }
    DoneWithEntry(query);
    time_t stamp = 0;
    if (length < 0 || length > INT_MAX || onDisk.size != length || !TimeFromText(timeText, stamp)
        || onDisk.modifiedSeconds != stamp)
        return false;

    PLATFORM::CFileHandle file = PLATFORM::OpenForReading(targetPath, {.noFollow = true, .nonBlock = true});
    if (!file.IsOpen())
        return false;
    PLATFORM::FileIdentity opened;
    unsigned char head[4] = {};
    // No more than the file holds, so a short file costs one read, not a
    // second one that finds its end.
    const qint64 got = file.ReadAt(head, std::min<qint64>(sizeof head, length), 0);
    bool current = file.Identify(&opened) == 0 && PLATFORM::SameFile(opened, onDisk)
        && opened.Permissions() == PLATFORM::ModeForContent(head, got > 0 ? size_t(got) : 0);
    if (current) {
        const QString digest = GetMD5OfDescriptorRange(file.Descriptor(), 0, length,
                                                       [pump] { return !pump || PumpMessages() == 0; });
        current = !digest.isEmpty() && digest.compare(md5, Qt::CaseInsensitive) == 0;
    }
    file.Close();
    if (current && outLength)
        *outLength = int(length);
    return current;
}
