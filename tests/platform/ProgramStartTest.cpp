#include "platform/ProgramStart.h"

#include "support/Sandbox.h"

#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <ostream>

#include <unistd.h>

namespace {

// The elevated start: pkexec only for a user who is not root and has it.
struct ElevationCase {
    bool root;
    const char* pkexec;
    QStringList command;
};

void PrintTo(const ElevationCase& c, std::ostream* os)
{
    *os << (c.root ? "root" : "user") << (*c.pkexec ? " with pkexec" : " without pkexec");
}

class ElevatedCommandTest : public testing::TestWithParam<ElevationCase> {};

TEST_P(ElevatedCommandTest, PutsPkexecInFrontOnlyWhenItHelps)
{
    EXPECT_EQ(PLATFORM::ElevatedCommand("/tmp/n/setup", {"-x"}, GetParam().root, GetParam().pkexec),
              GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(Facts, ElevatedCommandTest,
    testing::Values(ElevationCase{false, "/usr/bin/pkexec", {"/usr/bin/pkexec", "/tmp/n/setup", "-x"}},
        ElevationCase{false, "", {"/tmp/n/setup", "-x"}},
        ElevationCase{true, "/usr/bin/pkexec", {"/tmp/n/setup", "-x"}}));

TEST(RunElevatedAndWaitTest, WaitsForTheProgramToEnd)
{
    const QString script = TESTS::SandboxPath("slow.sh");
    const QString marker = TESTS::SandboxPath("done");
    TESTS::WriteFileBytes(script, "#!/bin/sh\nsleep 1\necho done > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (::geteuid() != 0 && !QStandardPaths::findExecutable("pkexec").isEmpty())
        GTEST_SKIP() << "pkexec would ask for a password";
    ASSERT_TRUE(PLATFORM::RunElevatedAndWait(script, {}));
    EXPECT_TRUE(QFile::exists(marker));
}

TEST(RunElevatedAndWaitTest, MissingProgramIsNotStarted)
{
    if (::geteuid() != 0 && !QStandardPaths::findExecutable("pkexec").isEmpty())
        GTEST_SKIP() << "pkexec would ask for a password";
    EXPECT_FALSE(PLATFORM::RunElevatedAndWait(TESTS::SandboxPath("missing"), {}));
}

}  // namespace
