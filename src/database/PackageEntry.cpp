#include "database/PackageEntry.h"

#include "common/MD5Encode.h"
#include "common/MessageTable.h"
#include "database/CppSQLite3DB.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include <libdeflate.h>
#include <sqlite3.h>
#include <zlib.h>

namespace DATABASE {
namespace {

constexpr int64_t kChunkSize = 65536;
// Deflate cannot do better than about 1032:1, so a stream of n bytes never
// inflates to more than this many bytes per input byte.
constexpr int64_t kMaxInflateRatio = 1032;

// A compressed entry up to this size is inflated in one call into one buffer
// (the fast whole-buffer inflate needs all of the input and the output at
// once); a larger one is inflated piece by piece through a small buffer.
std::atomic<int64_t> g_wholeInflateLimit{CEntryData::kDefaultWholeInflateLimit};

// Memory for a whole entry, from the system in 2 MiB blocks, taken in at
// once: a fresh 100 MiB buffer otherwise costs tens of thousands of page
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
        void* p = PLATFORM::AllocateAnonymousMemory(mapped);
        if (!p)
            return false;
        m_block = Block{static_cast<unsigned char*>(p), mapped};
        return true;
    }
    unsigned char* get() const { return m_block.data; }

private:
    static constexpr size_t kBlock = size_t(2) << 20;
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
                    PLATFORM::ReleaseAnonymousMemory(b.data, b.size);
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
        PLATFORM::ReleaseAnonymousMemory(m_block.data, m_block.size);
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
    // Reads the blob when there is one, else len bytes from memory.
    EntryBytes(sqlite3_blob* blob, const unsigned char* bytes, int64_t len, int64_t length, bool compressed)
        : m_blob(blob), m_bytes(bytes), m_len(len), m_length(length), m_compressed(compressed)
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

    // The stream ended before the entry's length was reached.
    bool EndedEarly() const { return m_compressed && m_ended && m_stream.avail_out > 0; }

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
            if (sqlite3_blob_read(m_blob, copy.get(), int(m_len), 0) != SQLITE_OK)
                return false;
            input = copy.get();
        }
        const libdeflate_result rc = libdeflate_zlib_decompress(decompressor, input, size_t(m_len),
                                                                m_whole.get(), size_t(m_length), nullptr);
        m_inflated = rc == LIBDEFLATE_SUCCESS;
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
};

}  // namespace

QString EntryCheckReason(EntryCheck check)
{
    switch (check) {
    case EntryCheck::SizeMismatch:
        return GetTextString(TEXT::SizeMismatch);
    case EntryCheck::Damaged:
        return GetTextString(TEXT::DamagedData);
    case EntryCheck::DigestMismatch:
        return GetTextString(TEXT::DigestMismatch);
    case EntryCheck::OutOfMemory:
        return GetTextString(TEXT::OutOfMemory);
    case EntryCheck::Ok:
    case EntryCheck::Stopped:
        break;
    }
    return QString();
}

CEntryData::CEntryData(CppSQLite3DB& db, int64_t row, const QString& dataType)
    : m_blob(nullptr, sqlite3_blob_close)
{
    sqlite3_blob* opened = nullptr;
    if (dataType == u"blob"
        && sqlite3_blob_open(db.Handle(), "main", "files", "data", row, 0, &opened) == SQLITE_OK) {
        m_blob.reset(opened);
        m_size = sqlite3_blob_bytes(opened);
        return;
    }
    sqlite3_blob_close(opened);  // null, or the handle a failed open left
    int size = 0;
    if (dataType != u"null") {
        m_value = db.ExecuteQuery(QStringLiteral("select data from files where rowid=?;"), {qint64(row)});
        if (!m_value.IsEof())
            m_bytes = m_value.GetBlobField(0, size);
    }
    static const unsigned char empty[1] = {0};
    if (!m_bytes) {
        m_bytes = empty;
        size = 0;
    }
    m_size = size;
}

CEntryData::~CEntryData() = default;

bool CEntryData::Holds(bool compressed, int64_t length) const
{
    if (compressed)
        return length >= 0 && length <= INT_MAX && length <= m_size * kMaxInflateRatio;
    return length == m_size;
}

EntryCheck CEntryData::Restore(bool compressed, int64_t length, const QString& md5, const EntrySink& sink,
                               QString* digest)
{
    if (!Holds(compressed, length))
        return EntryCheck::SizeMismatch;
    EntryBytes source(m_blob.get(), m_bytes, m_size, length, compressed);
    if (!source.Start())
        return EntryCheck::OutOfMemory;

    GLOBAL::CMD5Encode sum;
    for (int64_t offset = 0; offset < length;) {
        const int64_t count = std::min(kChunkSize, length - offset);
        const unsigned char* chunk = source.Next(count);
        if (!chunk)
            return source.EndedEarly() ? EntryCheck::SizeMismatch : EntryCheck::Damaged;
        sum.Update(chunk, uint32_t(count));
        if (!sink(chunk, size_t(count)))
            return EntryCheck::Stopped;
        offset += count;
    }
    if (!source.Finished())
        return EntryCheck::SizeMismatch;
    unsigned char bytes[16];
    sum.Final(bytes);
    const QString text = DigestText(bytes);
    if (digest)
        *digest = text;
    return text == md5 ? EntryCheck::Ok : EntryCheck::DigestMismatch;
}

void CEntryData::SetWholeInflateLimit(int64_t bytes)
{
    g_wholeInflateLimit = bytes;
}

}  // namespace DATABASE
