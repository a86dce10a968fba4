#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "platform/Registry.h"
#include "platform/SpecialFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace PLATFORM;

namespace PLATFORM {
// Readable failures instead of raw bytes.
void PrintTo(RegStatus status, std::ostream* os)
{
    static const char* const names[] = {"Ok", "NotFound", "Invalid", "Failed"};
    *os << names[int(status)];
}
}  // namespace PLATFORM

namespace {

const RegRoot HKCU = RegRoot::CurrentUser;
const RegRoot HKLM = RegRoot::LocalMachine;
const RegRoot HKCR = RegRoot::ClassesRoot;

QStringList ValueNames(RegRoot root, const QString& path)
{
    QList<RegValue> values;
    EXPECT_EQ(CRegistry::EnumKey(root, path, nullptr, &values), RegStatus::Ok);
    QStringList names;
    for (const RegValue& v : values)
        names << v.name;
    return names;
}

QStringList Subkeys(RegRoot root, const QString& path)
{
    QStringList keys;
    EXPECT_EQ(CRegistry::EnumKey(root, path, &keys, nullptr), RegStatus::Ok);
    return keys;
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { setenv("NORVEX_SCOPE", "user", 1); }
    void TearDown() override { unsetenv("NORVEX_SCOPE"); }
};

struct CaseLookup {
    const char* label;
    const char* storedKey;
    const char* storedValue;
    const char* askedKey;
    const char* askedValue;
};

void PrintTo(const CaseLookup& c, std::ostream* os)
{
    *os << c.label;
}

class RegistryCaseTest : public RegistryTest, public testing::WithParamInterface<CaseLookup> {};

TEST_P(RegistryCaseTest, LooksUpIgnoringCaseAndKeepsStoredCase)
{
    const CaseLookup& c = GetParam();
    const QString storedKey = QString::fromUtf8(c.storedKey);
    const QString storedValue = QString::fromUtf8(c.storedValue);
    const QString askedKey = QString::fromUtf8(c.askedKey);
    const QString askedValue = QString::fromUtf8(c.askedValue);
    ASSERT_EQ(CRegistry::SetValue(HKCU, storedKey, storedValue, RegSz, CRegistry::StringData("one")),
              RegStatus::Ok);

    QByteArray data;
    ASSERT_EQ(CRegistry::QueryValue(HKCU, askedKey, askedValue, nullptr, &data), RegStatus::Ok);
    EXPECT_EQ(data, CRegistry::StringData("one"));
    EXPECT_TRUE(CRegistry::KeyExists(HKCU, askedKey));

    // Writing through the other spelling replaces the value; names keep their first case.
    ASSERT_EQ(CRegistry::SetValue(HKCU, askedKey, askedValue, RegSz, CRegistry::StringData("two")),
              RegStatus::Ok);
    EXPECT_EQ(ValueNames(HKCU, storedKey), QStringList{storedValue});
    const QString parent = storedKey.section('\\', 0, -2);
    EXPECT_EQ(Subkeys(HKCU, parent), QStringList{storedKey.section('\\', -1)});
    ASSERT_EQ(CRegistry::QueryValue(HKCU, storedKey, storedValue, nullptr, &data), RegStatus::Ok);
    EXPECT_EQ(data, CRegistry::StringData("two"));
}

INSTANTIATE_TEST_SUITE_P(Spellings, RegistryCaseTest,
                         testing::Values(CaseLookup{"Ascii", "Software\\Tessaly\\LabelCloud", "InstallPath",
                                                    "SOFTWARE\\tessaly\\LABELCLOUD", "installpath"},
                                         CaseLookup{"NonAscii", "Software\\Étiquette\\Ärger", "Größe",
                                                    "software\\éTIQUETTE\\äRGER", "gRÖßE"},
                                         CaseLookup{"Greek", "Software\\Σύστημα", "Τιμή", "SOFTWARE\\ΣΎΣΤΗΜΑ",
                                                    "τιμή"}),
                         TESTS::CaseNameBy<&CaseLookup::label>());

TEST_F(RegistryTest, EmptyNameIsTheDefaultValue)
{
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Doc", "", RegSz, CRegistry::StringData("default")),
              RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Doc", "@", RegSz, CRegistry::StringData("at")),
              RegStatus::Ok);

    QList<RegValue> values;
    ASSERT_EQ(CRegistry::EnumKey(HKCU, "Software\\Doc", nullptr, &values), RegStatus::Ok);
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[0].name, QString());
    EXPECT_EQ(values[0].data, CRegistry::StringData("default"));
    // In the store "@" is an ordinary name; only the manifest gives it a meaning.
    EXPECT_EQ(values[1].name, QStringLiteral("@"));
}

TEST_F(RegistryTest, ValuesKeepTypeBytesAndOrder)
{
    struct Case {
        const char* name;
        quint32 type;
        QByteArray data;
    };
    const Case cases[] = {
        {"Text", RegSz, CRegistry::StringData(QStringLiteral("C:/opt/模板/"))},
        {"Size", RegDword, CRegistry::DwordData(0xABCD1234)},
        {"Blob", RegBinary, QByteArray("\0\1\2\0\xff", 5)},
        {"Empty", RegSz, QByteArray()},
        {"Odd", 0x12345, QByteArray("x")},
    };
    for (const Case& c : cases)
        ASSERT_EQ(CRegistry::SetValue(HKLM, "Software\\Typed", c.name, c.type, c.data), RegStatus::Ok)
            << c.name;
    // Rewriting the first value keeps its place.
    ASSERT_EQ(CRegistry::SetValue(HKLM, "Software\\Typed", "text", RegSz, CRegistry::StringData("new")),
              RegStatus::Ok);

    QList<RegValue> values;
    ASSERT_EQ(CRegistry::EnumKey(HKLM, "Software\\Typed", nullptr, &values), RegStatus::Ok);
    ASSERT_EQ(values.size(), int(std::size(cases)));
    for (int i = 0; i < values.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(values[i].name, QString::fromLatin1(cases[i].name));
        EXPECT_EQ(values[i].type, cases[i].type);
        quint32 type = 0;
        QByteArray data;
        ASSERT_EQ(CRegistry::QueryValue(HKLM, "Software\\Typed", cases[i].name, &type, &data), RegStatus::Ok);
        EXPECT_EQ(type, cases[i].type);
        EXPECT_EQ(data, i == 0 ? CRegistry::StringData("new") : cases[i].data);
    }
    EXPECT_EQ(CRegistry::DwordData(0xABCD1234), QByteArray("\x34\x12\xcd\xab", 4));
    EXPECT_EQ(CRegistry::StringData(QStringLiteral("A模")), QByteArray("A\0\x21\x6a\0\0", 6));
}

TEST_F(RegistryTest, DeleteKeyRemovesThreeLevelsAndNothingElse)
{
    const QString base = "Software\\Tessaly\\LabelCloud";
    for (const QString& key : {base, base + "\\A", base + "\\A\\B", base + "\\A\\B\\C", base + "\\D"})
        ASSERT_EQ(CRegistry::SetValue(HKCU, key, "v", RegSz, CRegistry::StringData(key)), RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Tessaly\\LabelCloud2", "keep", RegSz, {}), RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Tessaly", "keep", RegSz, {}), RegStatus::Ok);

    ASSERT_EQ(CRegistry::DeleteKey(HKCU, "software\\TESSALY\\labelcloud"), RegStatus::Ok);

    for (const QString& key : {base, base + "\\A", base + "\\A\\B", base + "\\A\\B\\C", base + "\\D"})
        EXPECT_FALSE(CRegistry::KeyExists(HKCU, key)) << key.toStdString();
    EXPECT_EQ(Subkeys(HKCU, "Software\\Tessaly"), QStringList{"LabelCloud2"});
    EXPECT_EQ(ValueNames(HKCU, "Software\\Tessaly"), QStringList{"keep"});

    // A key made again under the same name starts empty.
    ASSERT_EQ(CRegistry::CreateKey(HKCU, base + "\\A\\B"), RegStatus::Ok);
    EXPECT_EQ(ValueNames(HKCU, base), QStringList());
    EXPECT_EQ(ValueNames(HKCU, base + "\\A\\B"), QStringList());
    EXPECT_EQ(Subkeys(HKCU, base + "\\A\\B"), QStringList());
}

TEST_F(RegistryTest, MissingKeysAndValues)
{
    // Nothing written yet: reads find nothing and create no hive.
    QByteArray data = "untouched";
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\None", "v", nullptr, &data), RegStatus::NotFound);
    EXPECT_EQ(data, QByteArray("untouched"));
    EXPECT_FALSE(CRegistry::KeyExists(HKCU, "Software\\None"));
    EXPECT_EQ(CRegistry::EnumKey(HKCU, "Software\\None", nullptr, nullptr), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::DeleteKey(HKCU, "Software\\None"), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::DeleteValue(HKCU, "Software\\None", "v"), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::EnumKey(HKCU, "", nullptr, nullptr), RegStatus::Ok);
    EXPECT_TRUE(CRegistry::KeyExists(HKCR, ""));
    EXPECT_FALSE(QFileInfo::exists(UserHivePath()));
    EXPECT_FALSE(QFileInfo::exists(MachineHivePath()));

    // With the hive present: a missing value in an existing key, a missing child.
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Some", "v", RegSz, CRegistry::StringData("x")),
              RegStatus::Ok);
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\Some", "w", nullptr, nullptr), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\Some\\Child", "v", nullptr, nullptr),
              RegStatus::NotFound);
    EXPECT_EQ(CRegistry::DeleteValue(HKCU, "Software\\Some", "w"), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::DeleteKey(HKCU, "Software\\Some\\Child"), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::DeleteValue(HKCU, "Software\\Some", "V"), RegStatus::Ok);
    EXPECT_EQ(ValueNames(HKCU, "Software\\Some"), QStringList());
    EXPECT_TRUE(CRegistry::KeyExists(HKCU, "Software\\Some"));
}

// Manifests written for Windows may end a subkey with one '\\'.
TEST_F(RegistryTest, OneTrailingBackslashNamesTheSameKey)
{
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Keep\\", "v", RegSz, CRegistry::StringData("x")),
              RegStatus::Ok);
    EXPECT_EQ(ValueNames(HKCU, "Software\\Keep"), QStringList{"v"});
    EXPECT_TRUE(CRegistry::KeyExists(HKCU, "Software\\Keep\\"));
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\Keep\\", "v", nullptr, nullptr), RegStatus::Ok);
    EXPECT_EQ(CRegistry::DeleteKey(HKCU, "Software\\Keep\\"), RegStatus::Ok);
    EXPECT_FALSE(CRegistry::KeyExists(HKCU, "Software\\Keep"));
    EXPECT_TRUE(CRegistry::KeyExists(HKCU, "Software"));
}

TEST_F(RegistryTest, MalformedPathsAndRootsAreRefused)
{
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Keep", "v", RegSz, CRegistry::StringData("x")),
              RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCR, ".lbx", "", RegSz, CRegistry::StringData("x")), RegStatus::Ok);
    const QString tooLong(256, 'k');
    const QString longest(255, 'k');
    const char* const badPaths[] = {"\\Software", "Software\\\\Keep", "Software\\Keep\\\\", "\\"};
    for (const char* path : badPaths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(CRegistry::SetValue(HKCU, path, "v", RegSz, {}), RegStatus::Invalid);
        EXPECT_EQ(CRegistry::CreateKey(HKCU, path), RegStatus::Invalid);
        EXPECT_EQ(CRegistry::QueryValue(HKCU, path, "v", nullptr, nullptr), RegStatus::Invalid);
        EXPECT_EQ(CRegistry::DeleteKey(HKCU, path), RegStatus::Invalid);
        EXPECT_FALSE(CRegistry::KeyExists(HKCU, path));
    }
    EXPECT_EQ(CRegistry::CreateKey(HKCU, "Software\\" + tooLong), RegStatus::Invalid);
    EXPECT_EQ(CRegistry::CreateKey(HKCU, "Software\\" + longest), RegStatus::Ok);
    EXPECT_EQ(CRegistry::SetValue(HKCU, "Software", QString(16384, 'n'), RegSz, {}), RegStatus::Invalid);

    // The roots themselves are never deleted.
    EXPECT_EQ(CRegistry::DeleteKey(HKCU, ""), RegStatus::Invalid);
    EXPECT_EQ(CRegistry::DeleteKey(HKCR, ""), RegStatus::Invalid);
    EXPECT_EQ(ValueNames(HKCU, "Software\\Keep"), QStringList{"v"});
    EXPECT_EQ(Subkeys(HKCR, ""), QStringList{".lbx"});
}

TEST_F(RegistryTest, ClassesRootIsMachineSoftwareClasses)
{
    ASSERT_EQ(CRegistry::SetValue(HKLM, "SOFTWARE\\Classes", "", RegSz, CRegistry::StringData("root")),
              RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCR, ".lbx", "", RegSz, CRegistry::StringData("LabelCloud.Document")),
              RegStatus::Ok);

    QByteArray data;
    ASSERT_EQ(CRegistry::QueryValue(HKLM, "Software\\classes\\.LBX", "", nullptr, &data), RegStatus::Ok);
    EXPECT_EQ(data, CRegistry::StringData("LabelCloud.Document"));
    ASSERT_EQ(CRegistry::QueryValue(HKCR, "", "", nullptr, &data), RegStatus::Ok);
    EXPECT_EQ(data, CRegistry::StringData("root"));
    EXPECT_EQ(CRegistry::HivePath(HKCR), CRegistry::HivePath(HKLM));
    EXPECT_FALSE(CRegistry::KeyExists(HKCU, "Software\\Classes\\.lbx"));
    EXPECT_EQ(CRegistry::DeleteKey(HKCR, ".lbx"), RegStatus::Ok);
    EXPECT_TRUE(CRegistry::KeyExists(HKLM, "Software\\Classes"));
}

struct HiveCase {
    const char* scope;
    const char* userHive;
    const char* machineHive;
};

void PrintTo(const HiveCase& c, std::ostream* os)
{
    *os << c.scope;
}

class RegistryHiveTest : public RegistryTest, public testing::WithParamInterface<HiveCase> {};

TEST_P(RegistryHiveTest, RootsLiveInTheirHiveFiles)
{
    setenv("NORVEX_SCOPE", GetParam().scope, 1);
    const QString user = TESTS::SandboxPath(GetParam().userHive);
    const QString machine = TESTS::SandboxPath(GetParam().machineHive);
    EXPECT_EQ(CRegistry::HivePath(HKCU), user);
    EXPECT_EQ(CRegistry::HivePath(HKLM), machine);

    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\U", "v", RegSz, {}), RegStatus::Ok);
    EXPECT_TRUE(QFileInfo(user).isFile());
    EXPECT_FALSE(QFileInfo::exists(machine));
    ASSERT_EQ(CRegistry::SetValue(HKCR, ".lbx", "", RegSz, {}), RegStatus::Ok);
    EXPECT_TRUE(QFileInfo(machine).isFile());
    EXPECT_FALSE(CRegistry::KeyExists(HKLM, "Software\\U"));
}

INSTANTIATE_TEST_SUITE_P(Scopes, RegistryHiveTest,
                         testing::Values(HiveCase{"user", "home/.config/norvex/registry/user.db",
                                                  "home/.local/share/norvex/registry/machine.db"},
                                         HiveCase{"machine", "home/.config/norvex/registry/user.db",
                                                  "var/lib/norvex/registry/machine.db"}),
                         TESTS::CaseNameBy<&HiveCase::scope>());

TEST_F(RegistryTest, DamagedHiveFailsAndIsLeftAsItWas)
{
    const QByteArray junk(4096, 'J');
    TESTS::WriteFileBytes(UserHivePath(), junk);

    EXPECT_EQ(CRegistry::SetValue(HKCU, "Software\\X", "v", RegSz, {}), RegStatus::Failed);
    EXPECT_TRUE(CRegistry::LastError().startsWith(UserHivePath())) << CRegistry::LastError().toStdString();
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\X", "v", nullptr, nullptr), RegStatus::Failed);
    EXPECT_EQ(CRegistry::DeleteKey(HKCU, "Software\\X"), RegStatus::Failed);
    EXPECT_EQ(TESTS::ReadFileBytes(UserHivePath()), junk);
}

TEST_F(RegistryTest, HiveRemovedBetweenCallsStartsAfresh)
{
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\Old", "v", RegSz, {}), RegStatus::Ok);
    ASSERT_TRUE(QFile::remove(UserHivePath()));

    EXPECT_FALSE(CRegistry::KeyExists(HKCU, "Software\\Old"));
    EXPECT_FALSE(QFileInfo::exists(UserHivePath()));
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\New", "v", RegSz, {}), RegStatus::Ok);
    ASSERT_TRUE(QFileInfo(UserHivePath()).isFile());
    EXPECT_EQ(Subkeys(HKCU, "Software"), QStringList{"New"});
}

TEST_F(RegistryTest, WriteProtectedHiveCanStillBeRead)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores file permissions";
    // What another user meets in root's machine hive: nothing there is writable.
    QProcess writer;
    writer.start(QStringLiteral(NORVEX_REG_WRITER),
                 {QStringLiteral("Software\\X"), QStringLiteral("p"), "1"});
    ASSERT_TRUE(writer.waitForFinished(-1));
    ASSERT_EQ(writer.exitCode(), 0);
    const QString hive = UserHivePath();
    for (const QString& file : {hive, hive + "-wal", hive + "-shm"})
        chmod(QFile::encodeName(file).constData(), 0444);
    const QByteArray folder = QFile::encodeName(QFileInfo(hive).absolutePath());
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);

    quint32 type = 0;
    QByteArray data;
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\X", "P-0", &type, &data), RegStatus::Ok);
    EXPECT_EQ(type, quint32(RegDword));
    EXPECT_EQ(data, CRegistry::DwordData(0));
    EXPECT_EQ(CRegistry::SetValue(HKCU, "Software\\X", "q", RegSz, {}), RegStatus::Failed);
    EXPECT_FALSE(CRegistry::LastError().isEmpty());
    chmod(folder.constData(), 0755);
}

TEST_F(RegistryTest, EmptyHiveFileReadsAsEmpty)
{
    // What a concurrent writer leaves for a moment before its first commit.
    TESTS::WriteFileBytes(UserHivePath(), QByteArray());
    EXPECT_EQ(CRegistry::QueryValue(HKCU, "Software\\X", "v", nullptr, nullptr), RegStatus::NotFound);
    EXPECT_EQ(CRegistry::EnumKey(HKCU, "", nullptr, nullptr), RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(HKCU, "Software\\X", "v", RegSz, {}), RegStatus::Ok);
    EXPECT_TRUE(CRegistry::KeyExists(HKCU, "Software\\X"));
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kPerProcess = 500;
    QProcess writers[2];
    const char* const prefixes[2] = {"first", "second"};
    for (int i = 0; i < 2; ++i) {
        writers[i].setProcessChannelMode(QProcess::ForwardedChannels);
        writers[i].start(QStringLiteral(NORVEX_REG_WRITER),
                         {QStringLiteral("Software\\Race"), QString::fromLatin1(prefixes[i]),
                          QString::number(kPerProcess)});
    }
    for (QProcess& w : writers) {
        ASSERT_TRUE(w.waitForFinished(-1));
        EXPECT_EQ(w.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(w.exitCode(), 0);
    }

    QList<RegValue> values;
    ASSERT_EQ(CRegistry::EnumKey(HKCU, "Software\\Race", nullptr, &values), RegStatus::Ok);
    QSet<QString> names;
    for (const RegValue& v : values)
        names.insert(v.name);
    EXPECT_EQ(names.size(), 2 * kPerProcess);
    for (const char* prefix : prefixes) {
        for (int n = 0; n < kPerProcess; ++n) {
            const QString name = QStringLiteral("%1-%2").arg(QLatin1String(prefix)).arg(n);
            ASSERT_TRUE(names.contains(name)) << name.toStdString();
        }
        // Each writer also added one subkey per value; all of them are there too.
        QStringList subkeys;
        ASSERT_EQ(CRegistry::EnumKey(HKCU, QStringLiteral("Software\\Race\\%1").arg(QLatin1String(prefix)),
                                     &subkeys, nullptr),
                  RegStatus::Ok);
        EXPECT_EQ(subkeys.size(), kPerProcess);
    }
}

}  // namespace
