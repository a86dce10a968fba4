#include "support/Sandbox.h"

#include "manifest/InstallInfo.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const QString kSample = QStringLiteral("sample/Install.xml");

template <typename T>
const T& At(const std::list<T>& list, size_t i)
{
    return *std::next(list.begin(), std::ptrdiff_t(i));
}

CInstallInfo LoadFile(const QString& path)
{
    CInstallInfo m;
    EXPECT_TRUE(m.Load(path)) << path.toStdString();
    return m;
}

CInstallInfo LoadText(const QString& xml)
{
    CInstallInfo m;
    EXPECT_TRUE(m.LoadXml(xml));
    return m;
}

void ExpectFile(const CInstFileInfo& f, const char16_t* name, const char16_t* path, const char16_t* pack,
                const char16_t* action)
{
    EXPECT_EQ(f.name, QString::fromUtf16(name));
    EXPECT_EQ(f.path, QString::fromUtf16(path));
    EXPECT_EQ(f.pack, QString::fromUtf16(pack));
    EXPECT_EQ(f.action, QString::fromUtf16(action));
}

void ExpectKey(const CInstRegInfo& k, const char* rootkey, const char* subkey, const char* action,
               std::vector<CInstRegKeyInfo> values)
{
    EXPECT_EQ(k.rootkey, QString::fromUtf8(rootkey));
    EXPECT_EQ(k.subkey, QString::fromUtf8(subkey));
    EXPECT_EQ(k.action, QString::fromUtf8(action));
    EXPECT_EQ(k.values, values);
}

CInstRegKeyInfo Value(const char* name, const char* type, const char* data)
{
    CInstRegKeyInfo v;
    v.name = QString::fromUtf8(name);
    v.type = QString::fromUtf8(type);
    v.data = QString::fromUtf8(data);
    return v;
}

// Everything uninstall.xml holds of the sample manifest.
void ExpectSavedPart(const CInstallInfo& m)
{
    EXPECT_EQ(m.version.prog, QStringLiteral("Tessaly Label Cloud & Print"));
    EXPECT_EQ(m.version.ver, QStringLiteral("6.32.1908"));
    EXPECT_EQ(m.version.clsid, QStringLiteral("5C7E0D52-3A4F-4B8E-9F11-2B6C0E4D7A19"));
    EXPECT_EQ(m.info.prog, QStringLiteral("LabelCloud"));
    EXPECT_EQ(m.info.value, 202208);
    EXPECT_EQ(m.info.company, QStringLiteral("Tessaly Software"));
    EXPECT_EQ(m.info.help, QStringLiteral("http://www.example.com/help"));

    ASSERT_EQ(m.files.size(), 4u);
    ExpectFile(At(m.files, 0), u"LabelCloud", u"$intallpath$\\", u"LabelCloud", u"");
    ExpectFile(At(m.files, 1), u"readme.txt", u"$intallpath$\\doc\\", u"readme.txt", u"");
    ExpectFile(At(m.files, 2), u"\u6a21\u677f.dat", u"$appdatapath$\\Templates\\", u"template.dat", u"nodw");
    ExpectFile(At(m.files, 3), u"uninstall.exe", u"$intallpath$", u"NorvexSetup", u"setup");
    for (const CInstFileInfo& f : m.files)
        EXPECT_TRUE(f.ver.isEmpty() && f.md5.isEmpty() && f.data.isEmpty());

    ASSERT_EQ(m.registry.size(), 5u);
    ExpectKey(At(m.registry, 0), "HKCU", "Software\\Tessaly\\LabelCloud\\Settings", "",
              {Value("Theme", "Str", "dark")});
    ExpectKey(At(m.registry, 1), "HKCU", "Software\\Tessaly\\LabelCloud\\Old", "del", {});
    ExpectKey(At(m.registry, 2), "HKCR", ".tlc", "", {Value("@", "Str", "Tessaly.LabelCloud")});
    ExpectKey(At(m.registry, 3), "HKCR", "Tessaly.LabelCloud\\DefaultIcon", "",
              {Value("@", "Str", "$intallpath$\\LabelCloud,0")});
    ExpectKey(At(m.registry, 4), "HKLM", "SOFTWARE\\Tessaly\\LabelCloud", "",
              {Value("Path", "Str", "$intallpath$")});

    ASSERT_EQ(m.shortcut.size(), 2u);
    const CInstShortcutInfo& main = At(m.shortcut, 0);
    EXPECT_EQ(main.path, QStringLiteral("$intallpath$\\LabelCloud"));
    EXPECT_EQ(main.name, QStringLiteral("Tessaly Label Cloud"));
    EXPECT_EQ(main.type, QStringLiteral("mainprog"));
    EXPECT_EQ(main.lnk, QStringLiteral("Tessaly Label Cloud.lnk"));
    EXPECT_TRUE(main.arguments.isEmpty());
    const CInstShortcutInfo& un = At(m.shortcut, 1);
    EXPECT_EQ(un.path, QStringLiteral("$intallpath$\\uninstall.exe"));
    EXPECT_EQ(un.name, QStringLiteral("Uninstall Tessaly Label Cloud"));
    EXPECT_EQ(un.type, QStringLiteral("uninstall"));
    EXPECT_EQ(un.lnk, QStringLiteral("Uninstall.lnk"));

    EXPECT_TRUE(m.mainprogPath.isEmpty());
    EXPECT_EQ(m.installedSize, 0);
}

TEST(InstallInfoTest, SampleManifestReadsEveryField)
{
    const CInstallInfo m = LoadFile(TESTS::FixturePath(kSample));
    ExpectSavedPart(m);
    EXPECT_EQ(m.info.url, QStringLiteral("http://127.0.0.1:8765/upgrade.xml"));
    EXPECT_EQ(m.info.cab, QStringLiteral("setup.cab"));
    EXPECT_EQ(m.info.upinfo, QStringLiteral("notes"));
    EXPECT_EQ(m.info.autostart, 1);
    EXPECT_EQ(m.info.tessaly, 0);
}

TEST(InstallInfoTest, UninstallXmlMatchesGoldenBytes)
{
    CInstallInfo m = LoadFile(TESTS::FixturePath(kSample));
    const QString target = TESTS::SandboxPath("uninstall.xml");
    ASSERT_TRUE(m.Save(target, QStringLiteral("install"), WriteManifest, &m));
    EXPECT_EQ(TESTS::ReadFileBytes(target),
              TESTS::ReadFileBytes(TESTS::TestDataPath("manifest/data/uninstall.xml")));
}

TEST(InstallInfoTest, UninstallXmlReadsBackAsSameModel)
{
    const CInstallInfo original = LoadFile(TESTS::FixturePath(kSample));
    const CInstallInfo back = LoadFile(TESTS::TestDataPath("manifest/data/uninstall.xml"));
    ExpectSavedPart(back);
    EXPECT_EQ(back.files, original.files);
    EXPECT_EQ(back.registry, original.registry);
    EXPECT_EQ(back.shortcut, original.shortcut);
    // Only prog, company, help and value are written of info.
    EXPECT_TRUE(back.info.url.isEmpty());
    EXPECT_TRUE(back.info.cab.isEmpty());
    EXPECT_TRUE(back.info.upinfo.isEmpty());
    EXPECT_EQ(back.info.autostart, 0);
    EXPECT_EQ(back.info.tessaly, 0);
}

TEST(InstallInfoTest, SectionOrderDoesNotMatter)
{
    const CInstallInfo m = LoadText(QStringLiteral(
        "<setup><shortcut><link path=\"p\" name=\"n\" type=\"mainprog\" lnk=\"a.lnk\"/></shortcut>"
        "<registry><Key rootkey=\"HKLM\" subkey=\"S\"><Value name=\"@\" type=\"Str\" "
        "data=\"d\"/></Key></registry>"
        "<files><file name=\"a\" path=\"$intallpath$\"/><file name=\"b\" path=\"x\" action=\"nodw\"/></files>"
        "<info><tessaly>3</tessaly><prog>P</prog></info><version ver=\"2\"/></setup>"));
    ASSERT_EQ(m.files.size(), 2u);
    ExpectFile(At(m.files, 0), u"a", u"$intallpath$", u"", u"");
    ExpectFile(At(m.files, 1), u"b", u"x", u"", u"nodw");
    ASSERT_EQ(m.registry.size(), 1u);
    ExpectKey(At(m.registry, 0), "HKLM", "S", "", {Value("@", "Str", "d")});
    ASSERT_EQ(m.shortcut.size(), 1u);
    EXPECT_EQ(At(m.shortcut, 0).type, QStringLiteral("mainprog"));
    EXPECT_EQ(m.info.prog, QStringLiteral("P"));
    EXPECT_EQ(m.info.tessaly, 3);
    EXPECT_EQ(m.version.ver, QStringLiteral("2"));
}

// A comment or stray text in a list is a record of its own, so later entries
// keep their positions; each is written back as an empty element.
TEST(InstallInfoTest, NonElementChildrenBecomeEmptyRecords)
{
    CInstallInfo m = LoadText(QStringLiteral(
        "<install><files><file name=\"a\"/><!-- old entry --><file name=\"b\"/>stray</files>"
        "<registry><Key subkey=\"K\"><!-- c --><Value name=\"v\"/></Key></registry></install>"));
    ASSERT_EQ(m.files.size(), 4u);
    EXPECT_EQ(At(m.files, 0).name, QStringLiteral("a"));
    EXPECT_EQ(At(m.files, 1), CInstFileInfo());
    EXPECT_EQ(At(m.files, 2).name, QStringLiteral("b"));
    EXPECT_EQ(At(m.files, 3), CInstFileInfo());
    ASSERT_EQ(m.registry.size(), 1u);
    EXPECT_EQ(At(m.registry, 0).values,
              (std::vector<CInstRegKeyInfo>{Value("", "", ""), Value("v", "", "")}));

    QString text;
    ASSERT_TRUE(m.SaveXml(text, QStringLiteral("install"), false, WriteManifest, &m));
    EXPECT_TRUE(text.contains(QStringLiteral("<file name=\"\" path=\"\" pack=\"\" action=\"\"/>")));
    const CInstallInfo back = LoadText(text);
    EXPECT_EQ(back.files, m.files);
    EXPECT_EQ(back.registry, m.registry);
}

TEST(InstallInfoTest, EmptyAndMissingPartsKeepDefaults)
{
    CInstallInfo m = LoadText(QStringLiteral("<install><files/><info><value>12ab</value></info></install>"));
    EXPECT_TRUE(m.files.empty() && m.registry.empty() && m.shortcut.empty());
    EXPECT_EQ(m.info.value, 12);
    EXPECT_TRUE(m.version.prog.isEmpty() && m.info.prog.isEmpty());

    QString text;
    ASSERT_TRUE(m.SaveXml(text, QStringLiteral("install"), true, WriteManifest, &m));
    EXPECT_EQ(text,
              QStringLiteral("<install>\r\n"
                             "\t<version prog=\"\" ver=\"\" clsid=\"\"/>\r\n"
                             "\t<info>\r\n\t\t<prog/>\r\n\t\t<company/>\r\n\t\t<help/>\r\n\t\t<value>12</"
                             "value>\r\n\t</info>\r\n"
                             "\t<files/>\r\n\t<registry/>\r\n\t<shortcut/>\r\n"
                             "</install>\r\n"));
}

}  // namespace
