#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "manifest/UpgradeInfo.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

struct DescriptorCase {
    const char* name;
    const char* xml;
    const char* version;
    const char* url;
    const char* info;
    const char* title;
};

void PrintTo(const DescriptorCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpgradeInfoReadTest : public testing::TestWithParam<DescriptorCase> {};

TEST_P(UpgradeInfoReadTest, ReadsFirstChildOfEachName)
{
    const DescriptorCase& c = GetParam();
    const QString path = TESTS::SandboxPath("upgrade.xml");
    TESTS::WriteFileBytes(path, c.xml);
    CUpgradeInfo u;
    ASSERT_TRUE(u.Load(path));
    EXPECT_EQ(u.version, QString::fromUtf8(c.version));
    EXPECT_EQ(u.url, QString::fromUtf8(c.url));
    EXPECT_EQ(u.info, QString::fromUtf8(c.info));
    EXPECT_EQ(u.title, QString::fromUtf8(c.title));
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, UpgradeInfoReadTest,
    testing::Values(
        DescriptorCase{
            "AnyRootName",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<whatever><title>T</title><version>6.40</version>"
            "<url>http://h/s.exe</url><info>One.|Two.</info></whatever>",
            "6.40", "http://h/s.exe", "One.|Two.", "T"},
        DescriptorCase{"OnlySomeChildren", "<u><version>7</version><url>x</url><info>i</info></u>", "7", "x",
                       "i", ""},
        DescriptorCase{"FirstVersionCounts", "<u><version>1.0</version><version>9.9</version></u>", "1.0", "",
                       "", ""},
        DescriptorCase{"VersionAttributeNotSeen", "<u version=\"9.9\"><url>x</url></u>", "", "x", "", ""},
        DescriptorCase{"NestedVersionNotSeen", "<u><b><version>9.9</version></b></u>", "", "", "", ""}),
    TESTS::CaseName());

TEST(UpgradeInfoTest, AllFieldsRead)
{
    CUpgradeInfo u;
    ASSERT_TRUE(
        u.LoadXml(QStringLiteral("<r><data>D</data><md5>M</md5><time>Ti</time><info>I</info><url>U</url>"
                                 "<clsid>C</clsid><version>V</version><prog>P</prog><title>T</title></r>")));
    EXPECT_EQ(QStringList({u.title, u.prog, u.version, u.clsid, u.url, u.info, u.time, u.md5, u.data}),
              QStringList({"T", "P", "V", "C", "U", "I", "Ti", "M", "D"}));
}

TEST(UpgradeInfoTest, WriteLowersClsidAndMd5)
{
    CUpgradeInfo u;
    u.version = QStringLiteral("6.40");
    u.clsid = QStringLiteral("5C7E0D52-3A4F-4B8E-9F11-2B6C0E4D7A19");
    u.md5 = QStringLiteral("9625CDFEE308B3637AD119D631E748CA");
    u.info = QStringLiteral("A|B");
    const QString path = TESTS::SandboxPath("upgrade.xml");
    ASSERT_TRUE(u.Save(path, QStringLiteral("upgrade")));
    EXPECT_EQ(u.clsid, QStringLiteral("5c7e0d52-3a4f-4b8e-9f11-2b6c0e4d7a19"));
    EXPECT_EQ(u.md5, QStringLiteral("9625cdfee308b3637ad119d631e748ca"));
    EXPECT_EQ(TESTS::ReadFileBytes(path),
              QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" "
                         "encoding=\"utf-8\"?>\r\n<upgrade>\r\n\t<title/>\r\n\t<prog/>\r\n"
                         "\t<version>6.40</version>\r\n\t<clsid>5c7e0d52-3a4f-4b8e-9f11-2b6c0e4d7a19</"
                         "clsid>\r\n\t<url/>\r\n"
                         "\t<info>A|B</info>\r\n\t<time/>\r\n\t<md5>9625cdfee308b3637ad119d631e748ca</"
                         "md5>\r\n\t<data/>\r\n"
                         "</upgrade>\r\n"));
}

TEST(UpgradeInfoTest, FailedLoadLeavesFieldsAlone)
{
    CUpgradeInfo u;
    u.version = QStringLiteral("keep");
    EXPECT_FALSE(u.LoadXml(QStringLiteral("<html><body>404 Not Found</html>")));
    EXPECT_FALSE(u.Load(TESTS::SandboxPath("absent.xml")));
    EXPECT_EQ(u.version, QStringLiteral("keep"));
}

}  // namespace
