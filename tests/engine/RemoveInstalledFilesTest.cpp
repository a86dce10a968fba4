// Removal from a folder the installation did not make: only the product's
// files go, with the folders that this left empty, and a file that cannot be
// deleted is reported with the reason its deletion met.
#include "EngineTestSupport.h"

#include "support/SmallDisk.h"

#include <QFile>
#include <QFileInfo>

using namespace ENGINETEST;

namespace {

class RemoveInstalledFilesTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        TESTS::WriteFileBytes(engine.InstallFolder + QStringLiteral("uninstall.xml"), "<install/>");
    }
};

TEST_F(RemoveInstalledFilesTest, EmptyFoldersTheUserHadStay)
{
    // A product file two levels down, and one beside a folder of the user's.
    engine.Manifest.files.push_back(
        FileEntry(QStringLiteral("lib\\plugins\\a.so"), QStringLiteral("$intallpath$\\")));
    engine.Manifest.files.push_back(
        FileEntry(QStringLiteral("share\\b.dat"), QStringLiteral("$intallpath$\\")));
    const QString folder = engine.InstallFolder;
    for (const char* file :
         {"LabelCloud", "uninstall.exe", "doc/readme.txt", "lib/plugins/a.so", "share/b.dat"})
        TESTS::WriteFileBytes(folder + QString::fromLatin1(file), "product");
    TESTS::WriteFileBytes(folder + QStringLiteral("notes.txt"), "mine");
    for (const char* mine : {"empty", "photos/2019", "share/mine"})
        ASSERT_TRUE(QDir().mkpath(folder + QString::fromLatin1(mine)));

    const CInstallEngine::FolderRemoval removal = engine.RemoveInstalledFiles(folder);
    EXPECT_TRUE(removal.removed);
    EXPECT_EQ(removal.kept, CInstallEngine::FolderKept::OtherFiles);
    EXPECT_EQ(TESTS::Listing(folder),
              (QStringList{"empty", "notes.txt", "photos", "photos/2019", "share", "share/mine"}));
}

struct UndeletableCase {
    const char* label;
    bool danglingLink;  // else a plain file
};

void PrintTo(const UndeletableCase& c, std::ostream* os)
{
    *os << c.label;
}

class UndeletableFileTest : public RemoveInstalledFilesTest,
                            public testing::WithParamInterface<UndeletableCase> {
protected:
    void TearDown() override
    {
        if (!mounted.isEmpty())
            TESTS::UnmountSmallDisk(mounted);
        RemoveInstalledFilesTest::TearDown();
    }
    QString mounted;
};

TEST_P(UndeletableFileTest, IsReportedWithTheReasonItsDeletionMet)
{
    const QString doc = engine.InstallFolder + QStringLiteral("doc");
    QString why;
    if (!TESTS::MountSmallDisk(doc, 64 * 1024, &why))
        GTEST_SKIP() << why.toStdString();
    mounted = doc;
    const QString readme = doc + QStringLiteral("/readme.txt");
    if (GetParam().danglingLink)
        ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent/readme.txt"), readme));
    else
        TESTS::WriteFileBytes(readme, "product");
    ASSERT_TRUE(TESTS::MakeSmallDiskReadOnly(doc, &why)) << why.toStdString();

    const CInstallEngine::FolderRemoval removal = engine.RemoveInstalledFiles(engine.InstallFolder);
    EXPECT_FALSE(removal.removed);
    EXPECT_EQ(removal.kept, CInstallEngine::FolderKept::NotDeleted);
    EXPECT_EQ(engine.LastError().subject, readme);
    EXPECT_EQ(engine.LastError().cause, QStringLiteral("Read-only file system"));
    EXPECT_TRUE(QFileInfo(readme).isSymLink() || QFileInfo::exists(readme));
}

INSTANTIATE_TEST_SUITE_P(Cases, UndeletableFileTest,
                         testing::Values(UndeletableCase{"file", false},
                                         UndeletableCase{"dangling_link", true}),
                         TESTS::CaseNameBy<&UndeletableCase::label>());

}  // namespace
