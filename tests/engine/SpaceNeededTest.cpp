// The space figures of the checks before the first write: the package is
// read once a run, the figures follow the installation folder, and a package
// that cannot be read is no failure of the run.
#include "EngineTestSupport.h"

using namespace ENGINETEST;

namespace {

class SpaceNeededTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        engine.Package.path =
            TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), QStringLiteral("pkg/setup.cab"));
        engine.InstallFolder = TESTS::SandboxPath(QStringLiteral("opt/first/"));
        engine.AppDataFolder = TESTS::SandboxPath(QStringLiteral("data/"));
    }
};

TEST_F(SpaceNeededTest, PackageIsReadOnceAndTheFiguresFollowTheFolder)
{
    std::vector<CInstallEngine::SpaceNeed> first;
    ASSERT_TRUE(engine.MeasureSpace(first));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0].folder, engine.InstallFolder);
    EXPECT_GT(first[0].needed, 0);

    // Read again, the package would now fail.
    TESTS::WriteFileBytes(engine.Package.path, "no longer a package");
    std::vector<CInstallEngine::SpaceNeed> again;
    ASSERT_TRUE(engine.MeasureSpace(again));
    ASSERT_EQ(again.size(), first.size());
    EXPECT_EQ(again[0].needed, first[0].needed);

    engine.InstallFolder = TESTS::SandboxPath(QStringLiteral("opt/second/"));
    std::vector<CInstallEngine::SpaceNeed> moved;
    ASSERT_TRUE(engine.MeasureSpace(moved));
    ASSERT_EQ(moved.size(), first.size());
    EXPECT_EQ(moved[0].folder, engine.InstallFolder);
    EXPECT_EQ(moved[0].needed, first[0].needed);
    EXPECT_EQ(engine.FailureCount(), 0);
}

TEST_F(SpaceNeededTest, UnreadablePackageIsNoFailureOfTheRun)
{
    TESTS::WriteFileBytes(engine.Package.path, "not a package");
    for (int showing = 0; showing < 3; ++showing) {
        std::vector<CInstallEngine::SpaceNeed> needs;
        CFailure why;
        EXPECT_FALSE(engine.MeasureSpace(needs, &why));
        EXPECT_TRUE(why.IsSet());
        EXPECT_TRUE(needs.empty());
    }
    EXPECT_EQ(engine.FailureCount(), 0);
    EXPECT_FALSE(engine.LastError().IsSet());
}

}  // namespace
