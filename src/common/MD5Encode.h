// MD5 digests (RFC 1321) and the 32-character upper-case digest texts that the
// package check and the file extraction compare.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace GLOBAL {

class CMD5Encode {
public:
    CMD5Encode();
    virtual ~CMD5Encode();

    void Update(const unsigned char* input, uint32_t length);
    // Writes the digest and puts the object back into its initial state.
    void Final(unsigned char digest[16]);

private:
    void Reset();
    void Transform(const unsigned char block[64]);

    uint32_t m_state[4];
    uint32_t m_count[2];  // bit count, low word first
    unsigned char m_buffer[64];
    unsigned char m_padding[64];
};

}  // namespace GLOBAL

// The 32-character upper-case hexadecimal text of a finished digest.
QString DigestText(const unsigned char digest[16]);
// Upper-case hexadecimal digest of exactly these bytes.
QString GetMD5OfBuffer(const void* data, size_t length);
// Upper-case hexadecimal digest of the whole file; empty when it cannot be read.
QString GetMD5OfFile(const QString& path);
// Upper-case hexadecimal digest of the size bytes from offset on of the file;
// empty when they cannot all be read.
QString GetMD5OfFileRange(const QString& path, qint64 offset, qint64 size);
// The same over a file already open as fd, asking keepGoing before each 1 MiB
// read; empty once it says no.
QString GetMD5OfDescriptorRange(int fd, qint64 offset, qint64 size, const std::function<bool()>& keepGoing);
// Reads up to length bytes at offset of fd into buffer and adds them to md5:
// the count read, 0 at the end of the file, -1 when it cannot be read. An
// interrupted read is tried again.
qint64 HashDescriptorChunk(GLOBAL::CMD5Encode& md5, int fd, qint64 offset, qint64 length,
                           unsigned char* buffer);
