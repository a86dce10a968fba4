#include "database/InstallCabDB.h"

#include "common/DecimalText.h"
#include "common/MD5Encode.h"
#include "common/PumpMessages.h"
#include "database/PackageVfs.h"
#include "platform/FileWriter.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <libdeflate.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr int64_t kChunkSize = 65536;
// Deflate cannot do better than about 1032:1, so a stream of n bytes never
// inflates to more than this many bytes per input byte.
constexpr int64_t kMaxInflateRatio = 1032;

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

// A compressed entry up to this size is inflated in one call into one buffer
// (the fast whole-buffer inflate needs all of the input and the output at
// once); a larger one is inflated piece by piece through a small buffer.
std::atomic<int64_t> g_wholeInflateLimit{CInstallCabDB::kDefaultWholeInflateLimit};

// Memory for a whole entry, from the system in blocks of huge pages, taken in
// at once: a fresh 100 MiB buffer otherwise costs tens of thousands of page
// faults, which take longer than the inflating. Blocks of the smallest size
// are kept for the next entry (most entries are small).
class EntryBuffer {
public:
    EntryBuffer() = default;
    EntryBuffer(const EntryBuffer&) = delete;
    EntryBuffer& operator=(const EntryBuffer&) = delete;
    EntryBuffer& operator=(EntryBuffer&& other) noexcept
    {
        Release();
        m_block = std::exchange(other.m_block, Block{});
        return *this;
    }
    ~EntryBuffer() { Release(); }

    bool Allocate(size_t size)
    {
        Release();
        const size_t mapped = (std::max<size_t>(size, 1) + kBlock - 1) / kBlock * kBlock;
        if (mapped == kBlock) {
            for (Block& spare : Spares()) {
                if (spare.data) {
                    m_block = std::exchange(spare, Block{});
                    return true;
                }
            }
        }
        void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        // Both are hints; without them the block is still usable.
        ::madvise(p, mapped, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
        ::madvise(p, mapped, MADV_POPULATE_WRITE);
#endif
        m_block = Block{static_cast<unsigned char*>(p), mapped};
        return true;
    }
    unsigned char* get() const
    {
        return m_block.data;
    }

private:
    static constexpr size_t kBlock = size_t(2) << 20;  // one huge page
    struct Block {
        unsigned char* data = nullptr;
        size_t size = 0;
    };
    struct SpareBlocks {
        Block blocks[2];  // input and output of one entry
        ~SpareBlocks()
        {
            for (const Block& b : blocks)
                if (b.data)
                    ::munmap(b.data, b.size);
        }
    };
    static Block (&Spares())[2]
    {
        thread_local SpareBlocks spares;
        return spares.blocks;
    }
    void Release()
    {
        if (!m_block.data)
            return;
        if (m_block.size == kBlock) {
            for (Block& spare : Spares()) {
                if (!spare.data) {
                    spare = std::exchange(m_block, Block{});
                    return;
                }
            }
        }
        ::munmap(m_block.data, m_block.size);
        m_block = Block{};
    }
    Block m_block;
};

libdeflate_decompressor* Decompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    return decompressor.get();
}

// The entry's bytes front to back, one chunk at a time: inflated from the zlib
// stream into one reused buffer, or taken from the stored data. The row's data
// is read piece by piece through SQLite's incremental blob access (or comes from
// memory for values that are not blobs). A compressed entry that is small
// enough is instead inflated whole when the reading starts, and the chunks are
// taken from that buffer.
class EntryBytes {
public:
    EntryBytes(sqlite3_blob* blob, int64_t len, int64_t length, bool compressed)
        : m_blob(blob), m_len(len), m_length(length), m_compressed(compressed)
    {
    }
    EntryBytes(const unsigned char* bytes, int64_t len, int64_t length, bool compressed)
        : m_bytes(bytes), m_len(len), m_length(length), m_compressed(compressed)
    {
    }
    EntryBytes(const EntryBytes&) = delete;
    EntryBytes& operator=(const EntryBytes&) = delete;
    ~EntryBytes()
    {
        if (m_inflating)
            inflateEnd(&m_stream);
    }

    bool Start()
    {
        if (m_compressed && m_length > 0 && m_length <= g_wholeInflateLimit.load()) {
            // Without the memory for it the entry is still inflated in pieces; so
            // is a stream that fails whole, which then tells how it is damaged.
            const std::optional<bool> whole = InflateWhole();
            if (whole && *whole)
                return true;
            m_whole = EntryBuffer();
            m_inflateFailed = false;
        }
        if (m_blob || m_compressed) {
            m_buffer.reset(new (std::nothrow) unsigned char[kChunkSize]);
            if (!m_buffer)
                return false;
        }
        if (!m_compressed)
            return true;
        if (m_blob) {
            m_input.reset(new (std::nothrow) unsigned char[kChunkSize]);
            if (!m_input)
                return false;
        } else {
            m_stream.next_in = const_cast<Bytef*>(m_bytes);
            m_stream.avail_in = uInt(m_len);
            m_offset = m_len;
        }
        m_inflating = inflateInit(&m_stream) == Z_OK;
        return m_inflating;
    }

    // The next count (at most kChunkSize) bytes; null when the data ends early,
    // is damaged or cannot be read.
    const unsigned char* Next(int64_t count)
    {
        if (m_inflateFailed)
            return nullptr;
        if (m_inflated) {
            const int64_t at = m_offset;
            m_offset += count;
            return m_whole.get() + at;
        }
        if (!m_compressed) {
            const int64_t at = m_offset;
            m_offset += count;
            if (!m_blob)
                return m_bytes + at;
            return sqlite3_blob_read(m_blob, m_buffer.get(), int(count), int(at)) == SQLITE_OK
                ? m_buffer.get()
                : nullptr;
        }
        m_stream.next_out = m_buffer.get();
        m_stream.avail_out = uInt(count);
        while (m_stream.avail_out > 0 && !m_ended) {
            if (!Refill())
                return nullptr;
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                m_ended = true;
            else if (rc != Z_OK)
                return nullptr;  // damaged, or the input ran out (no progress)
        }
        return m_stream.avail_out == 0 ? m_buffer.get() : nullptr;
    }

    // The stream ended before the entry's length was reached (or, inflated
    // whole, did not end there).
    bool EndedEarly() const
    {
        return (m_compressed && m_ended && m_stream.avail_out > 0) || (m_inflateFailed && m_wrongSize);
    }

    // True when the data holds nothing more than the bytes taken: the stream ends
    // here, as a one-shot inflate into a buffer of exactly that size requires.
    bool Finished()
    {
        if (!m_compressed || m_ended || m_inflated)
            return true;
        unsigned char extra;
        m_stream.next_out = &extra;
        m_stream.avail_out = 1;
        for (;;) {
            if (!Refill())
                return false;
            const int rc = inflate(&m_stream, Z_NO_FLUSH);
            if (m_stream.avail_out == 0)
                return false;  // more bytes than the entry's length
            if (rc == Z_STREAM_END)
                return true;
            if (rc != Z_OK)
                return false;
        }
    }

private:
    // The whole stream inflated into one buffer of exactly the entry's length:
    // true when it gave exactly that many bytes and its checksum held, false
    // when it is damaged, empty when the memory is not there.
    std::optional<bool> InflateWhole()
    {
        libdeflate_decompressor* decompressor = Decompressor();
        if (!decompressor || !m_whole.Allocate(size_t(m_length)))
            return std::nullopt;
        const unsigned char* input = m_bytes;
        EntryBuffer copy;
        if (m_blob) {
            if (!copy.Allocate(size_t(m_len)))
                return std::nullopt;
            if (sqlite3_blob_read(m_blob, copy.get(), int(m_len), 0) != SQLITE_OK) {
                m_inflateFailed = true;
                return false;
            }
            input = copy.get();
        }
        const libdeflate_result rc = libdeflate_zlib_decompress(decompressor, input, size_t(m_len),
                                                                m_whole.get(), size_t(m_length), nullptr);
        m_inflated = rc == LIBDEFLATE_SUCCESS;
        m_inflateFailed = !m_inflated;
        m_wrongSize = rc == LIBDEFLATE_SHORT_OUTPUT || rc == LIBDEFLATE_INSUFFICIENT_SPACE;
        return m_inflated;
    }

    // Gives the inflater the next piece of the blob once it has used up the last.
    bool Refill()
    {
        if (m_stream.avail_in > 0 || m_offset >= m_len)
            return true;
        const int count = int(std::min(kChunkSize, m_len - m_offset));
        if (sqlite3_blob_read(m_blob, m_input.get(), count, int(m_offset)) != SQLITE_OK)
            return false;
        m_stream.next_in = m_input.get();
        m_stream.avail_in = uInt(count);
        m_offset += count;
        return true;
    }

    sqlite3_blob* m_blob = nullptr;
    const unsigned char* m_bytes = nullptr;
    int64_t m_len;
    int64_t m_length;
    bool m_compressed;
    int64_t m_offset = 0;  // next byte of the stored data to read (or of m_whole)
    z_stream m_stream = {};
    bool m_inflating = false;
    bool m_ended = false;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::unique_ptr<unsigned char[]> m_input;
    EntryBuffer m_whole;
    bool m_inflated = false;
    bool m_inflateFailed = false;
    bool m_wrongSize = false;
};

QString DigestText(const unsigned char digest[16])
{
    static const char hex[] = "0123456789ABCDEF";
    QString text(32, Qt::Uninitialized);
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = QLatin1Char(hex[digest[i] >> 4]);
        text[2 * i + 1] = QLatin1Char(hex[digest[i] & 0x0F]);
    }
    return text;
}

// Restores the entry into a temporary file beside the target, digesting the
// bytes as they pass, and renames it over the target only when all `length`
// bytes came out, their digest is `md5` and every write succeeded. So a damaged
// entry, a failure or a cancel never leaves a half-written file and never
// damages an existing one. failure receives the reason of a false result.
bool RestoreTargetFile(const QString& name, const QString& targetPath, EntryBytes& source, int64_t length,
                       const QString& md5, bool pump, const QString& timeText, CFailure& failure)
{
    const QString extracting = QStringLiteral("cannot extract %1 to").arg(name);
    PLATFORM::FileWriteOptions options;
    time_t stamp;
    if (TimeFromText(timeText, stamp))
        options.modified = stamp;
    PLATFORM::CFileWriter writer(targetPath, options);
    if (!writer.Open()) {
        failure = writer.Failure();
        return false;
    }
    if (!source.Start()) {
        failure = {extracting, targetPath, QStringLiteral("out of memory")};
        return false;
    }

    GLOBAL::CMD5Encode digest;
    for (int64_t offset = 0; offset < length;) {
        if (pump && PumpMessages() != 0) {
            failure = {extracting, targetPath, QStringLiteral("cancelled")};
            return false;
        }
        const int64_t count = std::min(kChunkSize, length - offset);
        const unsigned char* chunk = source.Next(count);
        if (!chunk) {
            failure = {
                extracting, targetPath,
                source.EndedEarly() ? QStringLiteral("size does not match") : QStringLiteral("damaged data")};
            return false;
        }
        digest.Update(chunk, uint32_t(count));
        if (!writer.Write(chunk, size_t(count))) {
            failure = writer.Failure();
            return false;
        }
        offset += count;
    }
    if (!source.Finished()) {
        failure = {extracting, targetPath, QStringLiteral("size does not match")};
        return false;
    }
    unsigned char sum[16];
    digest.Final(sum);
    if (DigestText(sum) != md5) {
        failure = {extracting, targetPath, QStringLiteral("digest mismatch")};
        return false;
    }
    if (!writer.Commit()) {
        failure = writer.Failure();
        return false;
    }
    return true;
}

// The files table has no index on name, so every lookup scans the whole table;
// with thousands of entries, extracting them one by one costs a scan each. The
// first lookup in a package notes the first row of every name; later lookups in
// the same, unchanged file go straight to that row. Anything unexpected falls
// back to the plain lookup, so the notes can only save time, never change a result.
struct PackageStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};
    struct timespec changed = {};
    uint32_t changeCounter = 0;  // SQLite bumps it on every committed write

    bool operator==(const PackageStamp& o) const
    {
        return device == o.device && inode == o.inode && size == o.size
            && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec
            && changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec
            && changeCounter == o.changeCounter;
    }
};

std::optional<PackageStamp> StampOf(const QString& packagePath, qint64 offset)
{
    const int fd = ::open(QFile::encodeName(packagePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    unsigned char counter[4];
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
        && ::pread(fd, counter, sizeof counter, off_t(offset + 24)) == ssize_t(sizeof counter);
    ::close(fd);
    if (!ok)
        return std::nullopt;
    PackageStamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    stamp.changed = st.st_ctim;
    stamp.changeCounter = uint32_t(counter[0]) << 24 | uint32_t(counter[1]) << 16 | uint32_t(counter[2]) << 8
        | uint32_t(counter[3]);
    return stamp;
}

class EntryRows {
public:
    // The rowid of the first row named `name`, when the package is the one noted
    // last (or can be noted now through db, which must be open on it).
    std::optional<int64_t> Find(DATABASE::CSQLiteDBBase& db, const QString& packagePath, qint64 offset,
                                qint64 size, const QString& name)
    {
        const std::optional<PackageStamp> stamp = StampOf(packagePath, offset);
        if (!stamp)
            return std::nullopt;
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_stamp || !(*m_stamp == *stamp) || m_path != packagePath || m_offset != offset
            || m_size != size) {
            m_stamp.reset();
            m_rows.clear();
            if (!Load(db))
                return std::nullopt;
            m_stamp = stamp;
            m_path = packagePath;
            m_offset = offset;
            m_size = size;
        }
        const auto it = m_rows.constFind(name);
        if (it == m_rows.constEnd())
            return std::nullopt;
        return *it;
    }

private:
    bool Load(DATABASE::CSQLiteDBBase& db)
    {
        DATABASE::CppSQLite3Query query;
        // Only text can equal the bound name; rowid order makes the first row win.
        if (!db.Query(QStringLiteral("select rowid, name from files where typeof(name)='text' "
                                     "order by rowid;"),
                      query))
            return false;
        try {
            for (; !query.IsEof(); query.NextRow()) {
                const QString name = query.GetTextField(1);
                if (!m_rows.contains(name))  // the first row of a name is its entry
                    m_rows.insert(name, query.GetInt64Field(0));
            }
            query.Finalize();
        } catch (const DATABASE::CppSQLite3Exception&) {
            m_rows.clear();
            return false;
        }
        return true;
    }

    std::mutex m_mutex;
    std::optional<PackageStamp> m_stamp;
    QString m_path;
    qint64 m_offset = 0;
    qint64 m_size = -1;
    QHash<QString, int64_t> m_rows;
};

EntryRows& NotedRows()
{
    static EntryRows rows;
    return rows;
}

}  // namespace

CInstallCabDB::CInstallCabDB() = default;

CInstallCabDB::~CInstallCabDB() = default;

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

void CInstallCabDB::SetWholeInflateLimit(qint64 bytes)
{
    g_wholeInflateLimit = bytes;
}

void CInstallCabDB::SetPackageRange(qint64 offset, qint64 size)
{
    m_packageOffset = offset;
    m_packageSize = size;
}

bool CInstallCabDB::OpenPackage(const QString& packagePath)
{
    SetPath(packagePath);
    m_lastError.clear();
    struct stat st;
    // A package is input from outside: nothing is created where none is, it
    // is read only, with SQLite's defensive mode and an untrusted schema, and
    // its two tables, where present, must be plain tables. A view (say, over
    // an endless recursive query) or a virtual table would run the package's
    // own code. A missing table is left to the query that needs it, which
    // names it.
    if (::stat(QFile::encodeName(packagePath).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_lastError = QStringLiteral("The package is not a file");
        return false;
    }
    if (!m_db.OpenWithFlags(
            QString::fromLatin1(DATABASE::PackageVfsUri(packagePath, m_packageOffset, m_packageSize)),
            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, DATABASE::PackageVfsName())) {
        if (m_lastError.isEmpty())
            m_lastError = QStringLiteral("The package cannot be opened");
        return false;
    }
    sqlite3* db = m_db.Handle();
    int applied = 0;
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &applied) != SQLITE_OK || applied != 1
        || sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &applied) != SQLITE_OK || applied != 0) {
        m_lastError = QStringLiteral("The package cannot be opened safely");
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
            m_lastError = QStringLiteral("The package's files or config is not a table");
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

bool CInstallCabDB::ReadEntryLengths(const QString& packagePath, QHash<QString, qint64>& lengths)
{
    m_failure.Clear();
    lengths.clear();
    const QString reading = QStringLiteral("cannot read the package");
    if (!OpenPackage(packagePath)) {
        m_failure = {reading, packagePath, GetLastError()};
        return false;
    }
    DATABASE::CppSQLite3Query query;
    bool result = Query(QStringLiteral("select name, length from files order by rowid;"), query);
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
        m_failure = {reading, packagePath, GetLastError()};
    query = DATABASE::CppSQLite3Query();
    CloseKeepingError();
    return result;
}

bool CInstallCabDB::ExtractFile(const QString& name, const QString& targetPath, const QString& packagePath,
                                bool pump, int* outLength)
{
    m_failure.Clear();
    const QString reading = QStringLiteral("cannot read the package");
    if (!OpenPackage(packagePath)) {
        m_failure = {reading, packagePath, GetLastError()};
        return false;
    }

    bool result = false;
    DATABASE::CppSQLite3Query query;
    {
        // A failed shortcut leaves no trace: the plain lookup below decides.
        const QString error = m_lastError;
        const std::optional<int64_t> row =
            NotedRows().Find(*this, packagePath, m_packageOffset, m_packageSize, name);
        const bool found = row
            && Query(QStringLiteral("select mode, length, len, md5,time,typeof(data) as datatype,"
                                    "rowid as entryrow from files where rowid=? and name=?;"),
                     query, {qint64(*row), name})
            && !query.IsEof();
        m_lastError = error;
        if (!found) {
            query = DATABASE::CppSQLite3Query();
            if (!Query(QStringLiteral("select mode, length, len, md5,time,typeof(data) as datatype,"
                                      "rowid as entryrow from files where name=?;"),
                       query, {name})) {
                m_failure = {reading, packagePath, GetLastError()};
                CloseKeepingError();
                return false;
            }
        }
    }
    try {
        if (query.IsEof()) {
            m_failure = {QStringLiteral("cannot extract %1 to").arg(name), targetPath,
                         QStringLiteral("no such entry in the package")};
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
            std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> handle(nullptr, sqlite3_blob_close);
            DATABASE::CppSQLite3Query dataQuery;
            const unsigned char* bytes = nullptr;
            int blobSize = 0;
            const QString dataType = query.GetTextField(QStringLiteral("datatype"));
            sqlite3_blob* opened = nullptr;
            if (dataType == QStringLiteral("blob")
                && sqlite3_blob_open(m_db.Handle(), "main", "files", "data", row, 0, &opened) == SQLITE_OK) {
                handle.reset(opened);
                blobSize = sqlite3_blob_bytes(opened);
            } else {
                sqlite3_blob_close(opened);  // null, or the handle a failed open left
                if (dataType != QStringLiteral("null")) {
                    dataQuery = m_db.ExecuteQuery(QStringLiteral("select data from files where rowid=?;"),
                                                  {qint64(row)});
                    if (!dataQuery.IsEof())
                        bytes = dataQuery.GetBlobField(0, blobSize);
                }
            }
            static const unsigned char empty[1] = {0};
            if (!bytes)
                bytes = empty;

            // Sizes that cannot belong to a sound row are refused before anything is
            // allocated or read past the blob.
            bool sizesOk;
            if (mode == 1)
                sizesOk =
                    len == blobSize && length >= 0 && length <= INT_MAX && length <= len * kMaxInflateRatio;
            else
                sizesOk = len == blobSize && length == blobSize;

            if (!sizesOk) {
                m_failure = {QStringLiteral("cannot extract %1 to").arg(name), targetPath,
                             QStringLiteral("size does not match")};
            } else if (handle) {
                EntryBytes source(handle.get(), len, length, mode == 1);
                result = RestoreTargetFile(name, targetPath, source, length, md5, pump, timeText, m_failure);
            } else {
                EntryBytes source(bytes, len, length, mode == 1);
                result = RestoreTargetFile(name, targetPath, source, length, md5, pump, timeText, m_failure);
            }
        }
        query.Finalize();
    } catch (const DATABASE::CppSQLite3Exception& e) {
        m_lastError = e.ErrorMessage();
        m_failure = {reading, packagePath, m_lastError};
        result = false;
    }
    query = DATABASE::CppSQLite3Query();
    CloseKeepingError();
    return result;
}
