// One entry of a package restored and checked: its stored data inflated when
// compressed, its length and MD5 compared, its bytes handed on in order. The
// extraction writes them into place; norvex-pack verify only checks them.
#pragma once

#include "database/CppSQLite3Query.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

struct sqlite3_blob;

namespace DATABASE {

class CppSQLite3DB;

enum class EntryCheck {
    Ok,
    SizeMismatch,    // not exactly the entry's length came out
    Damaged,         // the data does not inflate or cannot be read
    DigestMismatch,  // every byte came out, but their MD5 is another
    OutOfMemory,
    Stopped,  // the sink said stop
};

// The failure reason for a check: "size does not match", "damaged data",
// "digest mismatch", "out of memory"; empty for Ok and Stopped.
QString EntryCheckReason(EntryCheck check);

// Takes the restored bytes front to back, one chunk at a time (valid only
// during the call); false stops the restoring.
using EntrySink = std::function<bool(const unsigned char* bytes, size_t count)>;

// The data column of one row of a package's files table, read in place: a
// blob piece by piece through SQLite's incremental access, any other value
// fetched whole.
class CEntryData {
public:
    // dataType is SQLite's typeof(data) of the row; null holds no bytes.
    // Throws CppSQLite3Exception when another value cannot be fetched.
    CEntryData(CppSQLite3DB& db, int64_t row, const QString& dataType);
    CEntryData(const CEntryData&) = delete;
    CEntryData& operator=(const CEntryData&) = delete;
    ~CEntryData();

    // The number of bytes stored.
    int64_t Size() const { return m_size; }

    // Whether the stored bytes can make an entry of length bytes: as many
    // when stored; when compressed, no more than deflate can give and up to
    // 2 GiB. Sizes that fail this are refused before anything is allocated.
    bool Holds(bool compressed, int64_t length) const;

    // Restores the entry (inflated from its zlib stream when compressed) into
    // sink and checks that exactly length bytes come out and that their MD5,
    // as upper-case hex, is md5. The sink sees every byte before the check
    // ends, so a caller keeps the bytes only on Ok. digest (may be null)
    // receives the MD5 text when all bytes came out.
    EntryCheck Restore(bool compressed, int64_t length, const QString& md5, const EntrySink& sink,
                       QString* digest = nullptr);

    // Compressed entries up to this length are inflated whole in one call,
    // larger ones piece by piece (both end alike); process-wide, for tests of
    // either way. Kept small: fresh memory for a whole large entry costs more
    // than the faster inflate saves, above all on virtual machines.
    static void SetWholeInflateLimit(int64_t bytes);
    static constexpr int64_t kDefaultWholeInflateLimit = 8 * 1024 * 1024;

private:
    std::unique_ptr<sqlite3_blob, int (*)(sqlite3_blob*)> m_blob;
    CppSQLite3Query m_value;  // holds a value that is not a blob
    const unsigned char* m_bytes = nullptr;
    int64_t m_size = 0;
};

}  // namespace DATABASE
