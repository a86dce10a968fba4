#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "engine/RegistryHelpers.h"
#include "platform/SpecialFolders.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;
using PLATFORM::RegValue;

namespace {

const QString kKey = QStringLiteral("Software\\Tessaly\\LabelCloud");

QList<RegValue> Values(RegRoot root, const QString& key)
{
    QList<RegValue> values;
    EXPECT_EQ(CRegistry::EnumKey(root, key, nullptr, &values), RegStatus::Ok);
    return values;
}

struct StoredText {
    const char* label;
    quint32 type;
    QByteArray data;
    const char16_t* expected;
};

void PrintTo(const StoredText& c, std::ostream* os)
{
    *os << c.label;
}

class RegQueryStringTest : public testing::TestWithParam<StoredText> {};

TEST_P(RegQueryStringTest, ReadsBytesAsTextUpToFirstZero)
{
    const StoredText& c = GetParam();
    ASSERT_EQ(CRegistry::SetValue(RegRoot::CurrentUser, kKey, "Text", c.type, c.data), RegStatus::Ok);
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, "SOFTWARE\\tessaly\\labelcloud", "TEXT"),
              QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegQueryStringTest,
    testing::Values(StoredText{"Terminated", PLATFORM::RegSz, QByteArray("a\0b\0c\0\0\0", 8), u"abc"},
                    StoredText{"NoTerminator", PLATFORM::RegSz, QByteArray("a\0b\0c\0", 6), u"abc"},
                    StoredText{"EmbeddedZero", PLATFORM::RegSz, QByteArray("a\0b\0\0\0c\0\0\0", 10), u"ab"},
                    StoredText{"OnlyTerminator", PLATFORM::RegSz, QByteArray("\0\0", 2), u""},
                    StoredText{"NoBytes", PLATFORM::RegSz, QByteArray(), u""},
                    StoredText{"OddByteCount", PLATFORM::RegSz, QByteArray("a\0b\0c", 5), u"ab"},
                    StoredText{"DwordTakenAsText", PLATFORM::RegDword, CRegistry::DwordData(0x00420041),
                               u"AB"},
                    StoredText{"NonAscii", PLATFORM::RegBinary,
                               CRegistry::StringData(QStringLiteral("模板 ü")), u"模板 ü"}),
    TESTS::CaseNameBy<&StoredText::label>());

TEST(RegQueryString, MissingKeyOrValueGivesEmptyText)
{
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "InstallPath"), QString());
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::UserHivePath()));

    ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kKey, "6.32.1908", QStringLiteral("Version")));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "InstallPath"), QString());
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey + "\\Missing", "Version"), QString());
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kKey, "Version"), QString());
    // A trailing backslash names the same key.
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey + "\\", "Version"), QStringLiteral("6.32.1908"));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "Version"), QStringLiteral("6.32.1908"));
}

TEST(RegSetString, WritesRegSzWithItsTerminatingZero)
{
    ASSERT_TRUE(RegSetString(RegRoot::LocalMachine, kKey, QStringLiteral("/opt/Tessaly/模板/"),
                             QStringLiteral("InstallPath")));
    ASSERT_TRUE(RegSetString(RegRoot::LocalMachine, kKey, QString(), QStringLiteral("Version")));

    const QList<RegValue> values = Values(RegRoot::LocalMachine, kKey);
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0].name, QStringLiteral("InstallPath"));
    EXPECT_EQ(values[0].type, quint32(PLATFORM::RegSz));
    EXPECT_EQ(values[0].data.size(), (QStringLiteral("/opt/Tessaly/模板/").size() + 1) * 2);
    EXPECT_EQ(values[0].data.right(2), QByteArray(2, '\0'));
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kKey, "InstallPath"),
              QStringLiteral("/opt/Tessaly/模板/"));
    // An empty text is the terminating zero alone.
    EXPECT_EQ(values[1].data, QByteArray(2, '\0'));
}

TEST(RegSetString, NoNameAndEmptyNameBothSetTheDefaultValue)
{
    ASSERT_TRUE(RegSetString(RegRoot::ClassesRoot, ".lbx", "LabelCloud.Document"));
    EXPECT_EQ(RegQueryString(RegRoot::ClassesRoot, ".lbx", ""), QStringLiteral("LabelCloud.Document"));
    ASSERT_TRUE(RegSetString(RegRoot::ClassesRoot, ".lbx", "Other", QString()));
    ASSERT_TRUE(RegSetString(RegRoot::ClassesRoot, ".lbx", "named", QStringLiteral("@")));

    const QList<RegValue> values = Values(RegRoot::ClassesRoot, ".lbx");
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0].name, QString());
    EXPECT_EQ(values[0].data, CRegistry::StringData("Other"));
    // "@" is only the manifest's spelling of the default value.
    EXPECT_EQ(values[1].name, QStringLiteral("@"));
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.lbx", ""), QStringLiteral("Other"));
}

TEST(RegSetString, UnwritableKeyIsFalse)
{
    EXPECT_FALSE(
        RegSetString(RegRoot::CurrentUser, "Software\\" + QString(256, 'k'), "x", QStringLiteral("v")));
    TESTS::WriteFileBytes(PLATFORM::MachineHivePath(), QByteArray(2048, 'J'));
    EXPECT_FALSE(RegSetString(RegRoot::LocalMachine, kKey, "x", QStringLiteral("v")));
    EXPECT_FALSE(RegSetString(RegRoot::LocalMachine, kKey, "x"));
}

TEST(RegDeleteTree, RemovesThreeLevelsOfSubkeys)
{
    const QStringList keys = {kKey,
                              kKey + "\\Level1",
                              kKey + "\\Level1\\Level2",
                              kKey + "\\Level1\\Level2\\Level3",
                              kKey + "\\Level1\\Side",
                              kKey + "\\Other"};
    for (const QString& key : keys) {
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, key, key, QStringLiteral("Path")));
        ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, key, key));
    }
    ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, "Software\\Tessaly", "kept", QStringLiteral("Keep")));

    EXPECT_TRUE(RegDeleteTree(RegRoot::CurrentUser, "software\\tessaly\\LABELCLOUD"));

    for (const QString& key : keys)
        EXPECT_FALSE(CRegistry::KeyExists(RegRoot::CurrentUser, key)) << key.toStdString();
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, "Software\\Tessaly", "Keep"), QStringLiteral("kept"));
    // Gone means gone: deleting again finds nothing.
    EXPECT_FALSE(RegDeleteTree(RegRoot::CurrentUser, kKey));
}

TEST(RegDeleteTree, MissingKeyIsFalseAndChangesNothing)
{
    EXPECT_FALSE(RegDeleteTree(RegRoot::LocalMachine, kKey));
    EXPECT_FALSE(QFileInfo::exists(PLATFORM::MachineHivePath()));

    ASSERT_TRUE(RegSetString(RegRoot::LocalMachine, kKey, "x", QStringLiteral("v")));
    EXPECT_FALSE(RegDeleteTree(RegRoot::LocalMachine, kKey + "\\Missing"));
    EXPECT_FALSE(RegDeleteTree(RegRoot::CurrentUser, kKey));
    EXPECT_EQ(RegQueryString(RegRoot::LocalMachine, kKey, "v"), QStringLiteral("x"));
}

TEST(RegDeleteTree, EmptySubkeyNeverWipesARoot)
{
    // A manifest entry with an empty subkey must not take the whole root with it.
    ASSERT_TRUE(RegSetString(RegRoot::CurrentUser, kKey, "x", QStringLiteral("v")));
    ASSERT_TRUE(RegSetString(RegRoot::ClassesRoot, ".lbx", "doc"));
    for (const RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::ClassesRoot})
        EXPECT_FALSE(RegDeleteTree(root, QString()));
    EXPECT_EQ(RegQueryString(RegRoot::CurrentUser, kKey, "v"), QStringLiteral("x"));
    EXPECT_EQ(RegQueryString(RegRoot::ClassesRoot, ".lbx", ""), QStringLiteral("doc"));
}

}  // namespace
