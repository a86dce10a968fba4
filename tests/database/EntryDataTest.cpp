// Restoring one entry and checking it, the step extraction and norvex-pack
// verify share: the bytes the sink sees, the digest it reports, and stopping.
#include "PackageFiles.h"

#include "support/CaseName.h"

#include "common/MD5Encode.h"
#include "database/InstallCabDB.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

using namespace PKGTEST;

namespace {

using DATABASE::CEntryData;
using DATABASE::EntryCheck;

struct EntryRow {
    qint64 row = 0;
    int mode = 0;
    qint64 length = 0;
    QString md5;
    QString dataType;
};

// Reads entries of a package through the hardened open, as both readers do.
class EntryDataTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        package = CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/sample.cab"));
        if (GetParam())
            CEntryData::SetWholeInflateLimit(0);
    }
    void TearDown() override
    {
        db.Close();
        CEntryData::SetWholeInflateLimit(CEntryData::kDefaultWholeInflateLimit);
    }

    EntryRow Row(const QString& name)
    {
        EntryRow row;
        if (!db.IsOpen()) {
            EXPECT_TRUE(db.OpenPackage({package})) << db.GetLastError().toStdString();
        }
        DATABASE::CppSQLite3Query query;
        EXPECT_TRUE(db.Query(QStringLiteral("select rowid, mode, length, md5, typeof(data) from files "
                                            "where name=?;"),
                             query, {name}));
        if (query.IsEof()) {
            ADD_FAILURE() << "no row " << name.toStdString();
            return row;
        }
        row.row = query.GetInt64Field(0);
        row.mode = query.GetIntField(1);
        row.length = query.GetInt64Field(2);
        row.md5 = query.GetTextField(3);
        row.dataType = query.GetTextField(4);
        query.Finalize();
        return row;
    }

    QString package;
    CInstallCabDB db;
};

TEST_P(EntryDataTest, SinkSeesEveryByteAndTheDigestIsReported)
{
    for (const char* name : {"uninstall.exe", "readme.txt", "LabelCloud", "Install.xml"}) {
        SCOPED_TRACE(name);
        const EntryRow row = Row(QString::fromUtf8(name));
        const std::unique_ptr<CEntryData> data = db.EntryData(row.row, row.dataType);
        QByteArray bytes;
        QString digest;
        const EntryCheck check = data->Restore(
            row.mode == 1, row.length, row.md5,
            [&bytes](const unsigned char* chunk, size_t count) {
                bytes.append(reinterpret_cast<const char*>(chunk), qsizetype(count));
                return true;
            },
            &digest);
        EXPECT_EQ(check, EntryCheck::Ok);
        EXPECT_EQ(bytes.size(), row.length);
        EXPECT_EQ(GetMD5OfBuffer(bytes.constData(), size_t(bytes.size())), row.md5);
        EXPECT_EQ(digest, row.md5);
    }
}

TEST_P(EntryDataTest, DigestMismatchNamesTheDigestOfTheBytes)
{
    ExecSql(package, QStringLiteral("update files set md5=lower(md5) where name='uninstall.exe';"));
    const EntryRow row = Row(QStringLiteral("uninstall.exe"));
    QString digest;
    const EntryCheck check = db.EntryData(row.row, row.dataType)
                                 ->Restore(
                                     row.mode == 1, row.length, row.md5,
                                     [](const unsigned char*, size_t) { return true; }, &digest);
    EXPECT_EQ(check, EntryCheck::DigestMismatch);
    EXPECT_EQ(EntryCheckReason(check), QStringLiteral("digest mismatch"));
    EXPECT_EQ(digest, row.md5.toUpper());
}

TEST_P(EntryDataTest, SinkStopsTheRestoring)
{
    const EntryRow row = Row(QStringLiteral("uninstall.exe"));
    ASSERT_GT(row.length, 65536);  // more than one chunk
    int calls = 0;
    const EntryCheck check =
        db.EntryData(row.row, row.dataType)
            ->Restore(row.mode == 1, row.length, row.md5, [&calls](const unsigned char*, size_t) {
                ++calls;
                return false;
            });
    EXPECT_EQ(check, EntryCheck::Stopped);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(EntryCheckReason(check).isEmpty());
}

TEST_P(EntryDataTest, SizesThatCannotFitAreRefusedBeforeTheSinkSeesAByte)
{
    const EntryRow row = Row(QStringLiteral("LabelCloud"));
    const std::unique_ptr<CEntryData> data = db.EntryData(row.row, row.dataType);
    ASSERT_EQ(row.mode, 1);
    for (const int64_t length : {int64_t(-1), data->Size() * 1032 + 1, int64_t(INT_MAX) + 1}) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(data->Holds(true, length));
        int calls = 0;
        EXPECT_EQ(data->Restore(true, length, row.md5,
                                [&calls](const unsigned char*, size_t) {
                                    ++calls;
                                    return true;
                                }),
                  EntryCheck::SizeMismatch);
        EXPECT_EQ(calls, 0);
    }
    EXPECT_TRUE(data->Holds(false, data->Size()));
    EXPECT_FALSE(data->Holds(false, data->Size() + 1));
}

INSTANTIATE_TEST_SUITE_P(Inflating, EntryDataTest, ::testing::Bool(),
                         [](const auto& c) { return c.param ? "Streamed" : "Whole"; });

}  // namespace
