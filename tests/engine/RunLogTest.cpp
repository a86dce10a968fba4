// The run's log: appended lines with timestamps, a closed log that writes
// nothing, and a write failure reported once.
#include "support/Sandbox.h"

#include "engine/RunLog.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TEST(RunLogTest, AppendsUtf8LinesWithATimestamp)
{
    const QString path = TESTS::SandboxPath(QStringLiteral("run.log"));
    TESTS::WriteFileBytes(path, "earlier run\n");
    CRunLog log;
    log.Write(QStringLiteral("not open: dropped"));
    ASSERT_TRUE(log.Open(path));
    log.FileWritten(QStringLiteral("/opt/Tessaly/标签/tool"), 1234);
    log.RegistryWritten(QStringLiteral("HKEY_CLASSES_ROOT\\.tlp"), QString());
    log.Failed(QStringLiteral("cannot write /x: Permission denied"));
    log.Close();
    log.Write(QStringLiteral("closed: dropped"));

    const QStringList lines = QString::fromUtf8(TESTS::ReadFileBytes(path)).split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("earlier run"));
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d) (.*)$"));
    const char* texts[] = {"wrote /opt/Tessaly/标签/tool (1234 bytes)",
                           "registry set HKEY_CLASSES_ROOT\\.tlp [@]",
                           "failed: cannot write /x: Permission denied"};
    for (int i = 0; i < 3; ++i) {
        const QRegularExpressionMatch m = stamp.match(lines[i + 1]);
        ASSERT_TRUE(m.hasMatch()) << lines[i + 1].toStdString();
        EXPECT_EQ(m.captured(2), QString::fromUtf8(texts[i]));
    }
    EXPECT_EQ(lines[4], QString());
}

TEST(RunLogTest, OpenFailureSaysWhy)
{
    CRunLog log;
    QString why;
    const QString path = TESTS::SandboxPath(QStringLiteral("no/such/folder.log"));
    EXPECT_FALSE(log.Open(path, &why));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(why,
              QStringLiteral("cannot open the log ") + path + QStringLiteral(": No such file or directory"));
}

TEST(RunLogTest, WriteFailureIsToldOnceAndClosesTheLog)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full to make writes fail";
    CRunLog log;
    QStringList told;
    log.OnWriteFailure = [&told](const QString& reason) { told << reason; };
    ASSERT_TRUE(log.Open(QStringLiteral("/dev/full")));
    log.Write(QStringLiteral("one"));
    log.Write(QStringLiteral("two"));
    EXPECT_EQ(told, QStringList{QStringLiteral("cannot write the log /dev/full: No space left on device")});
    EXPECT_FALSE(log.IsOpen());
}

}  // namespace
