// The engine's package handling: extraction from the package in use, and the
// temporary package removed with the engine.
#include "support/Sandbox.h"

#include "engine/InstallEngine.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QString CopyOfSample(const QString& as)
{
    return TESTS::CopyFixture(QStringLiteral("sample/sample.cab"), as);
}

TEST(InstallEngineTest, ExtractsFromThePackageInUse)
{
    CInstallEngine engine;
    engine.Package.path = CopyOfSample(QStringLiteral("pkg/CAB123456.tmp"));
    const QString target = TESTS::SandboxPath(QStringLiteral("out/LabelCloud"));
    TESTS::WriteFileBytes(target, "old");
    int length = 0;
    ASSERT_TRUE(engine.ExtractPackageFile(QStringLiteral("LabelCloud"), target, true, &length));
    EXPECT_EQ(length, 47);
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              TESTS::ReadFileBytes(TESTS::FixturePath(QStringLiteral("sample/src/LabelCloud"))));
    EXPECT_FALSE(engine.ExtractPackageFile(QStringLiteral("Nothing"), target, false, nullptr));
}

TEST(InstallEngineTest, DestructorRemovesOnlyATemporaryPackage)
{
    for (const bool temporary : {true, false}) {
        SCOPED_TRACE(temporary ? "temporary" : "kept");
        const QString path =
            CopyOfSample(temporary ? QStringLiteral("CABtemp.tmp") : QStringLiteral("setup.cab"));
        {
            CInstallEngine engine;
            engine.Package.path = path;
            engine.PackageIsTemporary = temporary;
            EXPECT_TRUE(engine.ExtractPackageFile(QStringLiteral("Install.xml"),
                                                  TESTS::SandboxPath(QStringLiteral("INI.tmp")), false,
                                                  nullptr));
        }
        EXPECT_EQ(QFileInfo::exists(path), !temporary);
    }
}

}  // namespace
