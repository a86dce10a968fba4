// MD5 digests: RFC 1321 results, piecewise feeding, reuse, and file digests.
#include "support/Sandbox.h"

#include "common/MD5Encode.h"

#include <QByteArray>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

struct KnownDigest {
    std::string message;
    const char* digest;
};

std::vector<KnownDigest> KnownDigests()
{
    return {
        // The RFC 1321 test suite.
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
        // Lengths around the padding boundaries (one or two final blocks).
        {std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
        {std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
        {std::string(63, 'a'), "B06521F39153D618550606BE297466D5"},
        {std::string(64, 'a'), "014842D480B571495A4A0363793F7367"},
        {std::string(65, 'a'), "C743A45E0D2E6A95CB859ADAE0248435"},
        {std::string(119, 'a'), "8A7BD0732ED6A28CE75F6DABC90E1613"},
        {std::string(120, 'a'), "5F61C0CCAD4CAC44C75FF505E1F1E537"},
    };
}

QString Hex(const unsigned char digest[16])
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), 16).toHex().toUpper());
}

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(gen());
    return bytes;
}

TEST(MD5Encode, KnownDigestsOfBuffersAndFilesAreUpperCase)
{
    for (const KnownDigest& c : KnownDigests()) {
        SCOPED_TRACE("length " + std::to_string(c.message.size()) + ": " + c.message.substr(0, 20));
        EXPECT_EQ(GetMD5OfBuffer(c.message.data(), c.message.size()), QString::fromLatin1(c.digest));

        const QString path = TESTS::SandboxPath("known.bin");
        TESTS::WriteFileBytes(path, QByteArray::fromStdString(c.message));
        EXPECT_EQ(GetMD5OfFile(path), QString::fromLatin1(c.digest));
    }
}

TEST(MD5Encode, PiecesGiveTheSameDigestAsOneUpdate)
{
    const std::vector<unsigned char> message = RandomBytes(1000, 7);
    const QString whole = GetMD5OfBuffer(message.data(), message.size());

    const std::vector<std::vector<uint32_t>> schedules = {{1}, {63}, {64}, {65}, {0, 1, 63, 64, 65, 127}};
    for (const auto& schedule : schedules) {
        SCOPED_TRACE("first piece " + std::to_string(schedule.front()) + ", kinds "
                     + std::to_string(schedule.size()));
        GLOBAL::CMD5Encode md5;
        size_t pos = 0;
        for (size_t k = 0; pos < message.size(); ++k) {
            const uint32_t n = std::min<size_t>(schedule[k % schedule.size()], message.size() - pos);
            md5.Update(message.data() + pos, n);
            pos += n;
        }
        unsigned char digest[16];
        md5.Final(digest);
        EXPECT_EQ(Hex(digest), whole);
    }
}

TEST(MD5Encode, ObjectIsReusableAfterFinal)
{
    GLOBAL::CMD5Encode md5;
    unsigned char digest[16];

    // Leave a partial block and a bit count behind, then start over.
    const std::string first(100, 'x');
    md5.Update(reinterpret_cast<const unsigned char*>(first.data()), static_cast<uint32_t>(first.size()));
    md5.Final(digest);
    EXPECT_EQ(Hex(digest), GetMD5OfBuffer(first.data(), first.size()));

    const std::string second = "message digest";
    md5.Update(reinterpret_cast<const unsigned char*>(second.data()), static_cast<uint32_t>(second.size()));
    md5.Final(digest);
    EXPECT_EQ(Hex(digest), QStringLiteral("F96B697D7CB7938D525A2F31AAF161D0"));

    md5.Final(digest);
    EXPECT_EQ(Hex(digest), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
}

TEST(MD5Encode, FileThatCannotBeReadGivesEmptyText)
{
    TESTS::WriteFileBytes(TESTS::SandboxPath("plain.txt"), "data");
    const struct {
        const char* name;
        QString path;
    } cases[] = {
        {"missing file", TESTS::SandboxPath("missing.bin")},
        {"folder", TESTS::SandboxRoot()},
        {"path through a file", TESTS::SandboxPath("plain.txt/inner")},
        {"empty path", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetMD5OfFile(c.path), QString());
    }
}

TEST(MD5Encode, EmptyFileGivesDigestOfEmptyMessage)
{
    const QString path = TESTS::SandboxPath("empty.bin");
    TESTS::WriteFileBytes(path, {});
    EXPECT_EQ(GetMD5OfFile(path), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
}

TEST(MD5Encode, FileSpanningSeveralReadChunksMatchesBufferDigest)
{
    // Not a multiple of any plausible chunk or block size.
    const std::vector<unsigned char> bytes = RandomBytes((5u << 19) + 3, 11);
    const QString path = TESTS::SandboxPath("multi.bin");
    TESTS::WriteFileBytes(path,
                          QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    EXPECT_EQ(GetMD5OfFile(path), GetMD5OfBuffer(bytes.data(), bytes.size()));
}

// Past 2^29 bytes the bit count no longer fits its low word: the carry and
// the high word must be right for larger inputs to digest correctly, files of
// 4 GiB and more included. Digest taken once with md5sum of 2^29 + 100 zero
// bytes.
constexpr size_t kBeyondLowWord = (size_t(1) << 29) + 100;
constexpr const char* kZerosDigest = "2FD298086AE19F076B408E275AF7598C";

TEST(MD5Encode, BitCountCarriesIntoHighWordWhenReadInChunks)
{
    const QString path = TESTS::SandboxPath("sparse.bin");
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(kBeyondLowWord)), 0);  // sparse: no disk space used
    ::close(fd);
    EXPECT_EQ(GetMD5OfFile(path), QString::fromLatin1(kZerosDigest));
}

TEST(MD5Encode, LengthOver2Pow29InOneUpdateReachesHighWord)
{
    // Untouched anonymous pages read as zeros and take no memory.
    void* zeros = ::mmap(nullptr, kBeyondLowWord, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(zeros, MAP_FAILED);
    EXPECT_EQ(GetMD5OfBuffer(zeros, kBeyondLowWord), QString::fromLatin1(kZerosDigest));
    ::munmap(zeros, kBeyondLowWord);
}

}  // namespace
