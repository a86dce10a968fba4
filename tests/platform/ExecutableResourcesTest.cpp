#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "platform/ExecutableResources.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include <sys/stat.h>

using namespace PLATFORM;
using TESTS::ReadFileBytes;
using TESTS::SandboxPath;
using TESTS::WriteFileBytes;

namespace {

constexpr int kFooterSize = 48;

QByteArray Pattern(qsizetype size, quint32 seed)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = char(seed >> 16);
    }
    return out;
}

// Stands in for the template executable: an ELF header and some code bytes.
QByteArray TemplateBytes()
{
    return QByteArray(
               "\x7f"
               "ELF\x02\x01\x01",
               7)
        + Pattern(5000, 1);
}

ResourceSource Bytes(const QString& type, quint32 id, quint16 lang, const QByteArray& bytes)
{
    ResourceSource r;
    r.type = type;
    r.id = id;
    r.language = lang;
    r.bytes = bytes;
    return r;
}

ResourceSource FromFile(const QString& type, quint32 id, quint16 lang, const QString& path)
{
    ResourceSource r;
    r.type = type;
    r.id = id;
    r.language = lang;
    r.sourcePath = path;
    return r;
}

class ExecutableResourcesTest : public testing::Test {
protected:
    void SetUp() override
    {
        templatePath = SandboxPath("bin/norvexsetup");
        WriteFileBytes(templatePath, TemplateBytes());
    }

    // Attaches and fails the test when attaching fails.
    void AttachOk(const QString& from, const std::vector<ResourceSource>& resources, const QString& to)
    {
        QString error;
        ASSERT_TRUE(CExecutableResources::Attach(from, resources, to, &error)) << error.toStdString();
    }

    static QByteArray LoadOk(const CExecutableResources& res, const QString& type, quint32 id, quint16 lang)
    {
        const ResourceEntry* e = res.Find(type, id, lang);
        if (!e) {
            ADD_FAILURE() << "no resource " << id << " language " << lang;
            return {};
        }
        QByteArray bytes;
        EXPECT_TRUE(res.Load(*e, bytes));
        return bytes;
    }

    static void ExpectNothingAttached(const QString& path)
    {
        CExecutableResources res;
        EXPECT_FALSE(res.Open(path));
        EXPECT_TRUE(res.Entries().empty());
        EXPECT_EQ(res.ExecutableSize(), quint64(QFileInfo(path).size()));
    }

    QString templatePath;
};

TEST_F(ExecutableResourcesTest, RoundTrip)
{
    const QByteArray package = Pattern(70000, 7);
    const QByteArray digest = "0123456789abcdef0123456789abcdef";
    const QString templPackage = SandboxPath("src/empty.cab");
    WriteFileBytes(templPackage, Pattern(5120, 9));
    const QString out = SandboxPath("out/setup");
    QDir().mkpath(SandboxPath("out"));

    AttachOk(templatePath,
             {Bytes("RT_INSTALL", 131, 0, package), Bytes("RT_INSTALL", 132, 0, digest),
              FromFile("RT_INSTALL", 131, 2052, templPackage), Bytes("RT_INSTALL", 132, 2052, "5d55615c")},
             out);

    const QByteArray bytes = ReadFileBytes(out);
    EXPECT_TRUE(bytes.startsWith(TemplateBytes()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);

    CExecutableResources res;
    ASSERT_TRUE(res.Open(out));
    EXPECT_EQ(res.ExecutableSize(), quint64(TemplateBytes().size()));
    ASSERT_EQ(res.Entries().size(), 4u);
    EXPECT_EQ(res.Entries()[0].type, QStringLiteral("RT_INSTALL"));
    EXPECT_EQ(res.Entries()[2].id, 131u);
    EXPECT_EQ(res.Entries()[2].language, 2052);
    EXPECT_EQ(res.Entries()[2].size, 5120u);

    EXPECT_EQ(LoadOk(res, "RT_INSTALL", 131, 0), package);
    EXPECT_EQ(LoadOk(res, "RT_INSTALL", 132, 0), digest);
    EXPECT_EQ(LoadOk(res, "rt_install", 131, 2052), Pattern(5120, 9));  // type names ignore case
    EXPECT_EQ(LoadOk(res, "RT_INSTALL", 132, 2052), QByteArray("5d55615c"));
    EXPECT_EQ(res.Find("RT_INSTALL", 133, 0), nullptr);
    EXPECT_EQ(res.Find("RT_INSTALL", 131, 1033), nullptr);
    EXPECT_EQ(res.Find("RT_OTHER", 131, 0), nullptr);

    // Saving replaces whatever the destination held.
    const QString dest = SandboxPath("tmp/CAB1234.tmp");
    WriteFileBytes(dest, Pattern(200000, 3));
    ASSERT_TRUE(res.SaveToFile(*res.Find("RT_INSTALL", 131, 0), dest));
    EXPECT_EQ(ReadFileBytes(dest), package);
}

TEST_F(ExecutableResourcesTest, EmptyResourceAndZeroResources)
{
    const QString out = SandboxPath("setup");
    AttachOk(templatePath, {}, out);
    CExecutableResources res;
    EXPECT_TRUE(res.Open(out));
    EXPECT_TRUE(res.Entries().empty());
    EXPECT_EQ(res.ExecutableSize(), quint64(TemplateBytes().size()));

    AttachOk(out, {Bytes("RT_INSTALL", 132, 0, {})}, out);
    ASSERT_TRUE(res.Open(out));
    ASSERT_EQ(res.Entries().size(), 1u);
    QByteArray bytes = "stale";
    EXPECT_TRUE(res.Load(res.Entries()[0], bytes));
    EXPECT_TRUE(bytes.isEmpty());
    const QString dest = SandboxPath("empty.out");
    WriteFileBytes(dest, "stale");
    EXPECT_TRUE(res.SaveToFile(res.Entries()[0], dest));
    EXPECT_EQ(QFileInfo(dest).size(), 0);
}

TEST_F(ExecutableResourcesTest, AttachingAgainReplaces)
{
    const QString once = SandboxPath("once");
    const QString twice = SandboxPath("twice");
    const QString direct = SandboxPath("direct");
    AttachOk(templatePath,
             {Bytes("RT_INSTALL", 131, 0, Pattern(30000, 4)), Bytes("RT_INSTALL", 132, 0, "aaaa")}, once);
    const std::vector<ResourceSource> second{Bytes("RT_INSTALL", 131, 0, Pattern(100, 5))};
    AttachOk(once, second, twice);
    AttachOk(templatePath, second, direct);
    EXPECT_EQ(ReadFileBytes(twice), ReadFileBytes(direct));

    // In place, over the file being read.
    AttachOk(once, second, once);
    EXPECT_EQ(ReadFileBytes(once), ReadFileBytes(direct));

    CExecutableResources res;
    ASSERT_TRUE(res.Open(twice));
    ASSERT_EQ(res.Entries().size(), 1u);
    EXPECT_EQ(LoadOk(res, "RT_INSTALL", 131, 0), Pattern(100, 5));
    EXPECT_EQ(res.Find("RT_INSTALL", 132, 0), nullptr);
}

TEST_F(ExecutableResourcesTest, PlainFilesCarryNothing)
{
    ExpectNothingAttached(templatePath);
    const QString empty = SandboxPath("empty");
    WriteFileBytes(empty, {});
    ExpectNothingAttached(empty);
    // Shorter than a footer, but ending in the magic.
    const QString tiny = SandboxPath("tiny");
    WriteFileBytes(tiny, "NVXRES01");
    ExpectNothingAttached(tiny);

    CExecutableResources res;
    EXPECT_FALSE(res.Open(SandboxPath("missing")));
    EXPECT_EQ(res.ExecutableSize(), 0u);
    EXPECT_FALSE(res.Open(TESTS::SandboxRoot()));
    EXPECT_TRUE(res.Entries().empty());
    EXPECT_FALSE(res.Damaged());
}

TEST_F(ExecutableResourcesTest, TruncatedFilesCarryNothing)
{
    const QString out = SandboxPath("setup");
    AttachOk(templatePath,
             {Bytes("RT_INSTALL", 131, 0, Pattern(3000, 6)), Bytes("RT_INSTALL", 132, 0, "abc")}, out);
    const QByteArray whole = ReadFileBytes(out);
    for (int cut : {1, 8, kFooterSize - 1, kFooterSize, kFooterSize + 1, 100, 2000, int(whole.size()) - 1}) {
        SCOPED_TRACE(cut);
        const QString path = SandboxPath("cut");
        WriteFileBytes(path, whole.left(whole.size() - cut));
        ExpectNothingAttached(path);
    }
}

// Every single flipped bit in the directory or footer is noticed.
TEST_F(ExecutableResourcesTest, DamagedDirectoryOrFooterCarriesNothing)
{
    const QString out = SandboxPath("setup");
    AttachOk(templatePath,
             {Bytes("RT_INSTALL", 131, 0, Pattern(3000, 6)), Bytes("RT_INSTALL", 132, 2052, "abc")}, out);
    CExecutableResources res;
    ASSERT_TRUE(res.Open(out));
    const quint64 blobsEnd = res.Entries()[1].offset + res.Entries()[1].size;
    const QByteArray whole = ReadFileBytes(out);
    const QString path = SandboxPath("damaged");
    for (qsizetype pos = qsizetype(blobsEnd); pos < whole.size(); ++pos) {
        for (int bit : {0, 7}) {
            SCOPED_TRACE(testing::Message() << "byte " << pos << " bit " << bit);
            QByteArray damaged = whole;
            damaged[pos] = char(damaged[pos] ^ (1 << bit));
            WriteFileBytes(path, damaged);
            CExecutableResources d;
            EXPECT_FALSE(d.Open(path));
            EXPECT_TRUE(d.Entries().empty());
            // With the magic intact the file is known to be damaged, not plain.
            EXPECT_EQ(d.Damaged(), pos < whole.size() - 8);
        }
    }
}

TEST_F(ExecutableResourcesTest, FileChangedAfterOpenIsNotRead)
{
    const QString out = SandboxPath("setup");
    AttachOk(templatePath, {Bytes("RT_INSTALL", 131, 0, Pattern(3000, 6))}, out);
    CExecutableResources res;
    ASSERT_TRUE(res.Open(out));
    const ResourceEntry entry = res.Entries()[0];
    WriteFileBytes(out, ReadFileBytes(out).left(100));
    QByteArray bytes;
    EXPECT_FALSE(res.Load(entry, bytes));
    EXPECT_FALSE(res.SaveToFile(entry, SandboxPath("dest")));

    // An entry that was never in the directory is refused, not read past the end.
    ResourceEntry bogus = entry;
    bogus.offset = std::numeric_limits<quint64>::max() - 1;
    bogus.size = 10;
    EXPECT_FALSE(res.Load(bogus, bytes));
}

// Crafted directories with a correct hash, so only the range checks stand
// between them and the reader.
struct CraftedEntry {
    QByteArray type = "RT_INSTALL";
    quint64 offset = 0;  // relative to the region start unless absolute
    quint64 size = 0;
    bool absolute = false;
};

struct CraftCase {
    const char* name = "";
    std::vector<CraftedEntry> entries = {};
    qint64 regionStartDelta = 0;  // added to the real region start
    qint64 dirSizeDelta = 0;      // added to the real directory size
    qint64 countDelta = 0;        // added to the real entry count
    quint64 countOverride = 0;    // when nonzero, replaces the count
    QByteArray trailing = {};     // extra bytes inside the directory
    bool valid = false;
};

void PrintTo(const CraftCase& c, std::ostream* os)
{
    *os << c.name;
}

void Put(QByteArray& out, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char(v >> (8 * i)));
}

quint64 Fnv(quint64 h, const QByteArray& data)
{
    for (char c : data) {
        h ^= quint8(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

QByteArray Craft(const QByteArray& exe, const CraftCase& c)
{
    const quint64 blobArea = 1000;
    QByteArray file = exe + Pattern(blobArea, 8);
    const quint64 regionStart = quint64(exe.size());
    QByteArray dir;
    for (const CraftedEntry& e : c.entries) {
        Put(dir, quint64(e.type.size()), 2);
        dir.append(e.type);
        Put(dir, 131, 4);
        Put(dir, 0, 2);
        Put(dir, e.absolute ? e.offset : regionStart + e.offset, 8);
        Put(dir, e.size, 8);
    }
    dir.append(c.trailing);
    QByteArray fields;
    Put(fields, regionStart + quint64(c.regionStartDelta), 8);
    Put(fields, quint64(file.size()), 8);
    Put(fields, quint64(dir.size()) + quint64(c.dirSizeDelta), 8);
    Put(fields, c.countOverride ? c.countOverride : quint64(c.entries.size()) + quint64(c.countDelta), 8);
    const quint64 hash = Fnv(Fnv(0xcbf29ce484222325ULL, dir), fields);
    Put(fields, hash, 8);
    return file + dir + fields + QByteArray("NVXRES01");
}

class CraftedDirectory : public ExecutableResourcesTest, public testing::WithParamInterface<CraftCase> {};

TEST_P(CraftedDirectory, OnlySoundDirectoriesAreRead)
{
    const CraftCase& c = GetParam();
    const QString path = SandboxPath("crafted");
    WriteFileBytes(path, Craft(TemplateBytes(), c));
    CExecutableResources res;
    EXPECT_EQ(res.Open(path), c.valid);
    EXPECT_EQ(res.Damaged(), !c.valid);
    if (c.valid) {
        ASSERT_EQ(res.Entries().size(), c.entries.size());
        EXPECT_EQ(res.ExecutableSize(), quint64(TemplateBytes().size()));
        QByteArray bytes;
        EXPECT_TRUE(res.Load(res.Entries()[0], bytes));
    } else {
        EXPECT_TRUE(res.Entries().empty());
        EXPECT_EQ(res.ExecutableSize(), quint64(QFileInfo(path).size()));
    }
}

constexpr quint64 kHuge = std::numeric_limits<quint64>::max();

INSTANTIATE_TEST_SUITE_P(
    Cases, CraftedDirectory,
    testing::Values(
        // The builder itself produces what the reader accepts.
        CraftCase{.name = "Sound", .entries = {{"RT_INSTALL", 0, 1000}}, .valid = true},
        CraftCase{
            .name = "SoundTwoEntries", .entries = {{"RT_INSTALL", 0, 10}, {"X", 990, 10}}, .valid = true},
        CraftCase{.name = "EndsInDirectory", .entries = {{"RT_INSTALL", 1, 1000}}},
        CraftCase{.name = "BeyondFile", .entries = {{"RT_INSTALL", 1u << 30, 10}}},
        CraftCase{.name = "SizeOverflows", .entries = {{"RT_INSTALL", 500, kHuge - 100}}},
        CraftCase{.name = "OffsetHuge", .entries = {{"RT_INSTALL", kHuge - 5, 1, true}}},
        CraftCase{.name = "BeforeRegion", .entries = {{"RT_INSTALL", 0, 10, true}}},
        CraftCase{
            .name = "RegionAfterDirectory", .entries = {{"RT_INSTALL", 0, 10}}, .regionStartDelta = 1001},
        CraftCase{.name = "RegionHuge", .regionStartDelta = qint64(1) << 62},
        CraftCase{
            .name = "DirectoryLongerThanFile", .entries = {{"RT_INSTALL", 0, 10}}, .dirSizeDelta = 1 << 20},
        CraftCase{
            .name = "DirectorySizeHuge", .entries = {{"RT_INSTALL", 0, 10}}, .dirSizeDelta = qint64(1) << 62},
        CraftCase{.name = "DirectoryShort", .entries = {{"RT_INSTALL", 0, 10}}, .dirSizeDelta = -1},
        CraftCase{.name = "CountTooHigh", .entries = {{"RT_INSTALL", 0, 10}}, .countDelta = 1},
        CraftCase{.name = "CountHuge", .entries = {{"RT_INSTALL", 0, 10}}, .countOverride = kHuge},
        CraftCase{.name = "CountTooLow", .entries = {{"RT_INSTALL", 0, 10}, {"X", 10, 10}}, .countDelta = -1},
        CraftCase{.name = "TrailingBytes", .entries = {{"RT_INSTALL", 0, 10}}, .trailing = "xyz"},
        CraftCase{.name = "EmptyTypeName", .entries = {{"", 0, 10}}}),
    TESTS::CaseName());

TEST_F(ExecutableResourcesTest, RefusedAttachLeavesOutputAlone)
{
    const QString out = SandboxPath("out/setup");
    WriteFileBytes(out, "previous installer");
    struct Case {
        const char* name;
        QString templ;
        std::vector<ResourceSource> resources;
    } cases[] = {
        {"duplicate", templatePath, {Bytes("RT_INSTALL", 131, 0, "a"), Bytes("rt_install", 131, 0, "b")}},
        {"missing source",
         templatePath,
         {Bytes("RT_INSTALL", 132, 0, "a"), FromFile("RT_INSTALL", 131, 0, SandboxPath("nope"))}},
        {"folder as source", templatePath, {FromFile("RT_INSTALL", 131, 0, SandboxPath("out"))}},
        {"empty type", templatePath, {Bytes("", 131, 0, "a")}},
        {"long type", templatePath, {Bytes(QString(256, 'T'), 131, 0, "a")}},
        {"missing template", SandboxPath("no-template"), {Bytes("RT_INSTALL", 131, 0, "a")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(CExecutableResources::Attach(c.templ, c.resources, out, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(ReadFileBytes(out), QByteArray("previous installer"));
        EXPECT_EQ(QDir(SandboxPath("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"setup"});
    }
    QString error;
    EXPECT_FALSE(CExecutableResources::Attach(templatePath, {}, SandboxPath("no/such/folder/setup"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// A package of tens of MB goes in from a file and comes out to a file.
TEST_F(ExecutableResourcesTest, LargeResourceStreamsThroughFiles)
{
    const QString source = SandboxPath("big.cab");
    QCryptographicHash sourceHash(QCryptographicHash::Md5);
    {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 24; ++i) {
            const QByteArray chunk = Pattern((1 << 20) + 17, quint32(i));
            sourceHash.addData(chunk);
            ASSERT_EQ(f.write(chunk), chunk.size());
        }
    }
    const QString out = SandboxPath("setup");
    AttachOk(templatePath, {FromFile("RT_INSTALL", 131, 0, source), Bytes("RT_INSTALL", 132, 0, "d")}, out);

    CExecutableResources res;
    ASSERT_TRUE(res.Open(out));
    const ResourceEntry* e = res.Find("RT_INSTALL", 131, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->size, quint64(QFileInfo(source).size()));
    const QString dest = SandboxPath("tmp/CABbig.tmp");
    QDir().mkpath(SandboxPath("tmp"));
    ASSERT_TRUE(res.SaveToFile(*e, dest));

    QFile f(dest);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QCryptographicHash destHash(QCryptographicHash::Md5);
    ASSERT_TRUE(destHash.addData(&f));
    EXPECT_EQ(destHash.result(), sourceHash.result());
    EXPECT_EQ(LoadOk(res, "RT_INSTALL", 132, 0), QByteArray("d"));
}

}  // namespace
