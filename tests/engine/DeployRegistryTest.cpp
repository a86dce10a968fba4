// Registry deployment into the real store: the per-user location values, the
// sample manifest's keys, delete-then-rebuild, default values, root mapping,
// macros and a second run.
#include "EngineTestSupport.h"

#include "engine/RegistryHelpers.h"

using namespace ENGINETEST;
using PLATFORM::CRegistry;
using PLATFORM::RegRoot;
using PLATFORM::RegStatus;

namespace {

CInstRegInfo Key(const QString& rootkey, const QString& subkey, const QString& action,
                 std::vector<std::pair<QString, QString>> values)
{
    CInstRegInfo key;
    key.rootkey = rootkey;
    key.subkey = subkey;
    key.action = action;
    for (const auto& [name, data] : values) {
        CInstRegKeyInfo value;
        value.name = name;
        value.type = QStringLiteral("Str");
        value.data = data;
        key.values.push_back(value);
    }
    return key;
}

class DeployRegistryTest : public EngineTest {};

TEST_F(DeployRegistryTest, SampleManifestWritesLocationValuesAndItsKeys)
{
    ASSERT_TRUE(engine.DeployRegistry());
    const struct {
        RegRoot root;
        const char16_t* key;
        const char16_t* name;
        QString data;
    } expected[] = {
        {RegRoot::CurrentUser, u"Software\\Tessaly\\LabelCloud", u"InstallPath", engine.InstallFolder},
        {RegRoot::CurrentUser, u"Software\\Tessaly\\LabelCloud", u"Version", "6.32.1908"},
        {RegRoot::CurrentUser, u"Software\\Tessaly\\LabelCloud\\Settings", u"Theme", "dark"},
        {RegRoot::ClassesRoot, u".tlc", u"", "Tessaly.LabelCloud"},
        {RegRoot::ClassesRoot, u"Tessaly.LabelCloud\\DefaultIcon", u"",
         engine.InstallFolder + "LabelCloud,0"},
        {RegRoot::LocalMachine, u"SOFTWARE\\Tessaly\\LabelCloud", u"Path", engine.InstallFolder},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(QString::fromUtf16(e.key).toStdString() + " "
                     + QString::fromUtf16(e.name).toStdString());
        const StoredValue v = ReadValue(e.root, QString::fromUtf16(e.key), QString::fromUtf16(e.name));
        EXPECT_EQ(v.status, RegStatus::Ok);
        EXPECT_EQ(v.type, quint32(PLATFORM::RegSz));
        EXPECT_EQ(v.data, Sz(e.data));
    }
    // HKCR lives in the machine hive, as on Windows.
    EXPECT_EQ(ReadValue(RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Classes\\.tlc"), QString()).data,
              Sz(QStringLiteral("Tessaly.LabelCloud")));
    // The empty "del" entry of the sample creates nothing.
    EXPECT_FALSE(
        CRegistry::KeyExists(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\LabelCloud\\Old")));
}

TEST_F(DeployRegistryTest, DeleteThenRebuildReplacesTheWholeTree)
{
    const QString subkey = QStringLiteral("Software\\Tessaly\\Rebuilt");
    RegSetString(RegRoot::CurrentUser, subkey + QStringLiteral("\\a\\b\\c"), QStringLiteral("deep"),
                 QStringLiteral("x"));
    RegSetString(RegRoot::CurrentUser, subkey, QStringLiteral("old"), QStringLiteral("Stale"));
    RegSetString(RegRoot::CurrentUser, subkey, QStringLiteral("1"), QStringLiteral("Keep"));
    engine.Manifest.registry = {
        Key(QStringLiteral("HKCU"), subkey, QStringLiteral("del"),
            {{QStringLiteral("Ignored"), QStringLiteral("no")}}),
        Key(QStringLiteral("HKCU"), subkey, QString(), {{QStringLiteral("Keep"), QStringLiteral("2")}}),
    };
    ASSERT_TRUE(engine.DeployRegistry());

    QStringList subkeys;
    ASSERT_EQ(CRegistry::EnumKey(RegRoot::CurrentUser, subkey, &subkeys, nullptr), RegStatus::Ok);
    EXPECT_TRUE(subkeys.isEmpty());
    EXPECT_EQ(ValueNames(RegRoot::CurrentUser, subkey), QStringList{"Keep"});
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, subkey, QStringLiteral("Keep")).data, Sz(QStringLiteral("2")));
}

TEST_F(DeployRegistryTest, AtSignAndEmptyNameBothWriteTheDefaultValue)
{
    const QString subkey = QStringLiteral("Software\\Tessaly\\Defaults");
    const struct {
        const char16_t* name;
        const char16_t* data;
    } cases[] = {{u"@", u"by at"}, {u"", u"by empty"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
        engine.Manifest.registry = {Key(QStringLiteral("HKCU"), subkey, QString(),
                                        {{QString::fromUtf16(c.name), QString::fromUtf16(c.data)}})};
        engine.DeployRegistry();
        EXPECT_EQ(ReadValue(RegRoot::CurrentUser, subkey, QString()).data, Sz(QString::fromUtf16(c.data)));
        EXPECT_EQ(ValueNames(RegRoot::CurrentUser, subkey), QStringList{QString()});
    }
}

TEST_F(DeployRegistryTest, RootkeyMapsExactCaseOnly)
{
    const struct {
        const char16_t* rootkey;
        RegRoot root;
    } cases[] = {
        {u"HKLM", RegRoot::LocalMachine}, {u"HKCR", RegRoot::ClassesRoot},
        {u"HKCU", RegRoot::CurrentUser},  {u"hkcr", RegRoot::CurrentUser},
        {u"hklm", RegRoot::CurrentUser},  {u"HKEY_LOCAL_MACHINE", RegRoot::CurrentUser},
        {u"", RegRoot::CurrentUser},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString rootkey = QString::fromUtf16(c.rootkey);
        SCOPED_TRACE(rootkey.toStdString());
        const QString subkey = QStringLiteral("Software\\RootTest%1").arg(n++);
        engine.Manifest.registry = {
            Key(rootkey, subkey, QString(), {{QStringLiteral("v"), QStringLiteral("1")}})};
        engine.DeployRegistry();
        for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine, RegRoot::ClassesRoot})
            EXPECT_EQ(CRegistry::KeyExists(root, subkey), root == c.root) << int(root);
    }
}

TEST_F(DeployRegistryTest, MacrosExpandInDataButNotInSubkeys)
{
    const QString subkey = QStringLiteral("Software\\$intallpath$\\Literal");
    engine.Manifest.registry = {Key(QStringLiteral("HKCU"), subkey, QString(),
                                    {{QStringLiteral("Icon"), QStringLiteral("$intallpath$\\LabelCloud,0")},
                                     {QStringLiteral("Data"), QStringLiteral("$appdatapath$\\Templates\\")},
                                     {QStringLiteral("Plain"), QStringLiteral("C:\\Keep\\This")}})};
    engine.DeployRegistry();
    EXPECT_TRUE(CRegistry::KeyExists(RegRoot::CurrentUser, subkey));
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, subkey, QStringLiteral("Icon")).data,
              Sz(engine.InstallFolder + QStringLiteral("LabelCloud,0")));
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, subkey, QStringLiteral("Data")).data,
              Sz(engine.AppDataFolder + QStringLiteral("Templates/")));
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, subkey, QStringLiteral("Plain")).data,
              Sz(QStringLiteral("C:\\Keep\\This")));
}

TEST_F(DeployRegistryTest, KeyWithoutValuesCreatesNothing)
{
    engine.Manifest.registry = {
        Key(QStringLiteral("HKCU"), QStringLiteral("Software\\Tessaly\\Empty"), QString(), {})};
    engine.DeployRegistry();
    EXPECT_FALSE(CRegistry::KeyExists(RegRoot::CurrentUser, QStringLiteral("Software\\Tessaly\\Empty")));
}

TEST_F(DeployRegistryTest, SecondRunOverwritesInPlace)
{
    engine.DeployRegistry();
    const QString settings = QStringLiteral("Software\\Tessaly\\LabelCloud\\Settings");
    const QStringList productValues = ValueNames(RegRoot::CurrentUser, engine.ProductKey);
    engine.Manifest.version.ver = QStringLiteral("6.32.1909");
    engine.Manifest.registry.front().values.front().data = QStringLiteral("light");
    engine.DeployRegistry();
    EXPECT_EQ(ValueNames(RegRoot::CurrentUser, engine.ProductKey), productValues);
    EXPECT_EQ(ValueNames(RegRoot::CurrentUser, settings), QStringList{"Theme"});
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, settings, QStringLiteral("Theme")).data,
              Sz(QStringLiteral("light")));
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, engine.ProductKey, QStringLiteral("Version")).data,
              Sz(QStringLiteral("6.32.1909")));
}

}  // namespace
