// MD5 (RFC 1321) and the digest texts built on it.
#include "common/MD5Encode.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace GLOBAL {
namespace {

inline uint32_t LoadLE32(const unsigned char* p)
{
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    } else {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

inline void StoreLE32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z)
{
    return z ^ (x & (y ^ z));
}
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (z & (x ^ y));
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z)
{
    return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (x | ~z);
}

}  // namespace

// One step of a round: a = b + ((a + f(b,c,d) + x + t) <<< s).
#define MD5_STEP(f, a, b, c, d, x, s, t) \
    (a) += f((b), (c), (d)) + (x) + (t); \
    (a) = std::rotl((a), (s)) + (b)

CMD5Encode::CMD5Encode()
{
    Reset();
}

CMD5Encode::~CMD5Encode()
{
    // The buffer may hold bytes of the message; do not leave them behind.
    std::memset(m_buffer, 0, sizeof m_buffer);
}

void CMD5Encode::Reset()
{
    m_state[0] = 0x67452301;
    m_state[1] = 0xEFCDAB89;
    m_state[2] = 0x98BADCFE;
    m_state[3] = 0x10325476;
    m_count[0] = m_count[1] = 0;
    std::memset(m_buffer, 0, sizeof m_buffer);
    std::memset(m_padding, 0, sizeof m_padding);
    m_padding[0] = 0x80;
}

void CMD5Encode::Update(const unsigned char* input, uint32_t length)
{
    uint32_t index = (m_count[0] >> 3) & 0x3F;

    const uint32_t bits = length << 3;
    m_count[0] += bits;
    if (m_count[0] < bits)
        ++m_count[1];
    m_count[1] += length >> 29;

    const uint32_t partLen = 64 - index;
    uint32_t i = 0;
    if (length >= partLen) {
        std::memcpy(&m_buffer[index], input, partLen);
        Transform(m_buffer);
        // Whole blocks straight from the caller's bytes, no copy.
        for (i = partLen; length - i >= 64; i += 64)
            Transform(input + i);
        index = 0;
    }
    if (length > i)
        std::memcpy(&m_buffer[index], input + i, length - i);
}

void CMD5Encode::Final(unsigned char digest[16])
{
    unsigned char bits[8];
    StoreLE32(bits, m_count[0]);
    StoreLE32(bits + 4, m_count[1]);

    const uint32_t index = (m_count[0] >> 3) & 0x3F;
    const uint32_t padLen = index < 56 ? 56 - index : 120 - index;
    Update(m_padding, padLen);
    Update(bits, 8);

    for (int i = 0; i < 4; ++i)
        StoreLE32(digest + 4 * i, m_state[i]);

    Reset();
}

void CMD5Encode::Transform(const unsigned char block[64])
{
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLE32(block + 4 * i);

    MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
    MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
    MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070db);
    MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
    MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
    MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
    MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
    MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
    MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
    MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
    MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
    MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
    MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
    MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
    MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
    MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

    MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
    MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
    MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
    MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
    MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
    MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
    MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
    MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
    MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
    MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
    MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
    MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
    MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
    MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
    MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
    MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

    MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
    MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
    MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
    MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
    MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
    MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
    MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
    MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
    MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
    MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
    MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
    MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
    MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
    MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
    MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
    MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

    MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
    MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
    MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
    MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
    MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
    MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
    MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
    MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
    MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
    MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
    MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
    MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
    MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
    MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
    MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
    MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

#undef MD5_STEP

}  // namespace GLOBAL

QString DigestText(const unsigned char digest[16])
{
    static const char hex[] = "0123456789ABCDEF";
    char text[32];
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = hex[digest[i] >> 4];
        text[2 * i + 1] = hex[digest[i] & 0x0F];
    }
    return QString::fromLatin1(text, 32);
}

QString GetMD5OfBuffer(const void* data, size_t length)
{
    GLOBAL::CMD5Encode md5;
    // Update takes a 32-bit count; larger buffers go in slices.
    constexpr size_t kSlice = size_t(1) << 30;
    const auto* p = static_cast<const unsigned char*>(data);
    do {
        const size_t n = length < kSlice ? length : kSlice;
        md5.Update(p, static_cast<uint32_t>(n));
        p += n;
        length -= n;
    } while (length > 0);
    unsigned char digest[16];
    md5.Final(digest);
    return DigestText(digest);
}

QString GetMD5OfFile(const QString& path)
{
    if (path.isEmpty())
        return {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // Read to the end in fixed chunks: memory stays flat and no length is
    // taken up front, so files of any size work.
    constexpr size_t kChunk = size_t(1) << 20;
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    GLOBAL::CMD5Encode md5;
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.get(), kChunk);
        if (n > 0) {
            md5.Update(buffer.get(), static_cast<uint32_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;  // e.g. a folder, or an I/O error
            break;
        }
    }
    ::close(fd);

    unsigned char digest[16];
    md5.Final(digest);
    return ok ? DigestText(digest) : QString();
}

QString GetMD5OfFileRange(const QString& path, qint64 offset, qint64 size)
{
    if (path.isEmpty() || offset < 0 || size < 0)
        return {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const QString digest = GetMD5OfDescriptorRange(fd, offset, size, [] { return true; });
    ::close(fd);
    return digest;
}

QString GetMD5OfDescriptorRange(int fd, qint64 offset, qint64 size, const std::function<bool()>& keepGoing)
{
    if (fd < 0 || offset < 0 || size < 0)
        return {};
    posix_fadvise(fd, off_t(offset), off_t(size), POSIX_FADV_SEQUENTIAL);

    // No bigger than the range: small files are the common case.
    const qint64 chunk = std::clamp<qint64>(size, 1, qint64(1) << 20);
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[size_t(chunk)]);
    GLOBAL::CMD5Encode md5;
    qint64 done = 0;
    while (done < size && keepGoing()) {
        const qint64 n =
            HashDescriptorChunk(md5, fd, offset + done, std::min(chunk, size - done), buffer.get());
        if (n <= 0)
            break;  // the file ends early, or cannot be read
        done += n;
    }

    unsigned char digest[16];
    md5.Final(digest);
    return done == size ? DigestText(digest) : QString();
}

qint64 HashDescriptorChunk(GLOBAL::CMD5Encode& md5, int fd, qint64 offset, qint64 length,
                           unsigned char* buffer)
{
    ssize_t n;
    do
        n = ::pread(fd, buffer, size_t(length), off_t(offset));
    while (n < 0 && errno == EINTR);
    if (n > 0)
        md5.Update(buffer, static_cast<uint32_t>(n));
    return qint64(n);
}
