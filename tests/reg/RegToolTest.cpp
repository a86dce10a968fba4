#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "platform/Registry.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

using namespace PLATFORM;

namespace {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result RunTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(NORVEX_REG_TOOL), args);
    Result r;
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "norvex-reg did not finish";
        return r;
    }
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class RegToolTest : public testing::Test {
protected:
    void SetUp() override { setenv("NORVEX_SCOPE", "user", 1); }
    void TearDown() override { unsetenv("NORVEX_SCOPE"); }

    static void ExpectRun(const QStringList& args, int code = 0)
    {
        const Result r = RunTool(args);
        EXPECT_EQ(r.code, code) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
};

TEST_F(RegToolTest, AddQueryExportDeleteRoundTrip)
{
    const QString key = QStringLiteral("HKCU\\Software\\Tessaly\\LabelCloud");
    ExpectRun({"add", key, "--value", "InstallPath", "--data", "/opt/Tessaly/Label \"Cloud\" & 模板\\"});
    ExpectRun({"add", "HKEY_CURRENT_USER\\software\\TESSALY\\labelcloud", "--data", "défaut"});
    ExpectRun({"add", key, "--value=EstimatedSize", "--type", "REG_DWORD", "--data", "23783"});
    ExpectRun({"add", key, "--value", "Flags", "--type", "reg_dword", "--data=0xABCD"});
    ExpectRun({"add", key, "--value", "Empty", "--data", ""});
    ExpectRun({"add", key + "\\Sub\\Deeper"});
    ExpectRun({"add", "HKLM\\SOFTWARE\\Classes\\.lbx", "--data", "LabelCloud.Document"});

    // The store sees what the tool wrote, in its byte forms.
    QByteArray data;
    quint32 type = 0;
    ASSERT_EQ(CRegistry::QueryValue(RegRoot::CurrentUser, "Software\\Tessaly\\LabelCloud", "EstimatedSize",
                                    &type, &data),
              RegStatus::Ok);
    EXPECT_EQ(type, quint32(RegDword));
    EXPECT_EQ(data, CRegistry::DwordData(23783));
    ASSERT_EQ(CRegistry::QueryValue(RegRoot::ClassesRoot, ".LBX", "", &type, &data), RegStatus::Ok);
    EXPECT_EQ(data, CRegistry::StringData("LabelCloud.Document"));

    struct Query {
        const char* key;
        const char* value;
        const char* out;
    };
    const Query queries[] = {
        {"HKCU\\Software\\Tessaly\\LabelCloud", "installpath", "/opt/Tessaly/Label \"Cloud\" & 模板\\\n"},
        {"HKCU\\Software\\Tessaly\\LabelCloud", "", "défaut\n"},
        {"HKCU\\Software\\Tessaly\\LabelCloud", "EstimatedSize", "23783\n"},
        {"HKCU\\Software\\Tessaly\\LabelCloud\\", "FLAGS", "43981\n"},
        {"HKCU\\Software\\Tessaly\\LabelCloud", "Empty", "\n"},
        {"HKCR\\.lbx", "", "LabelCloud.Document\n"},
        {"HKEY_CLASSES_ROOT\\.lbx", "", "LabelCloud.Document\n"},
    };
    for (const Query& q : queries) {
        SCOPED_TRACE(std::string(q.key) + " " + q.value);
        const Result r = RunTool({"query", QString::fromUtf8(q.key), "--value", QString::fromUtf8(q.value)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, QString::fromUtf8(q.out));
    }

    Result r = RunTool({"query", "hkcu\\software\\tessaly\\LABELCLOUD"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("HKEY_CURRENT_USER\\Software\\Tessaly\\LabelCloud\n"
                             "    InstallPath    REG_SZ    /opt/Tessaly/Label \"Cloud\" & 模板\\\n"
                             "    (Default)    REG_SZ    défaut\n"
                             "    EstimatedSize    REG_DWORD    0x5ce7\n"
                             "    Flags    REG_DWORD    0xabcd\n"
                             "    Empty    REG_SZ    \n"
                             "\n"
                             "HKEY_CURRENT_USER\\Software\\Tessaly\\LabelCloud\\Sub\n"));

    r = RunTool({"export", "HKCU\\SOFTWARE\\tessaly"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              QStringLiteral("Windows Registry Editor Version 5.00\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Tessaly]\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Tessaly\\LabelCloud]\n"
                             "\"InstallPath\"=\"/opt/Tessaly/Label \\\"Cloud\\\" & 模板\\\\\"\n"
                             "@=\"défaut\"\n"
                             "\"EstimatedSize\"=dword:00005ce7\n"
                             "\"Flags\"=dword:0000abcd\n"
                             "\"Empty\"=\"\"\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Tessaly\\LabelCloud\\Sub]\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\Software\\Tessaly\\LabelCloud\\Sub\\Deeper]\n"
                             "\n"));

    ExpectRun({"delete", key, "--value", "flags"});
    EXPECT_EQ(RunTool({"query", key, "--value", "Flags"}).code, 1);
    ExpectRun({"delete", key, "--value", ""});
    EXPECT_EQ(RunTool({"query", key, "--value", ""}).code, 1);
    ExpectRun({"delete", "HKCU\\Software\\Tessaly"});
    EXPECT_FALSE(CRegistry::KeyExists(RegRoot::CurrentUser, "Software\\Tessaly"));
    EXPECT_TRUE(CRegistry::KeyExists(RegRoot::CurrentUser, "Software"));
    EXPECT_EQ(RunTool({"export", key}).code, 1);
}

TEST_F(RegToolTest, ExportWritesOtherDataInHexForms)
{
    QByteArray blob;
    for (int i = 0; i < 30; ++i)
        blob.append(char(i * 9));
    const QString key = QStringLiteral("Software\\Forms");
    struct Seed {
        const char* name;
        quint32 type;
        QByteArray data;
    };
    const Seed seeds[] = {
        {"Blob", RegBinary, blob},
        {"NoTerminator", RegSz, QByteArray("a\0b\0", 4)},
        {"Zero", RegSz, QByteArray("a\0\0\0b\0\0\0", 8)},
        {"Lines", RegSz, CRegistry::StringData("one\ntwo")},
        {"Escape", RegSz,
         CRegistry::StringData("a\x1b"
                               "b")},
        {"Short", RegDword, QByteArray("\1\2\3", 3)},
        {"Expand", RegExpandSz, CRegistry::StringData("%A%")},
        {"Big", RegQword, QByteArray("\1\0\0\0\0\0\0\0", 8)},
        {"Odd\"Name\\", 0x20000, QByteArray()},
    };
    for (const Seed& s : seeds)
        ASSERT_EQ(CRegistry::SetValue(RegRoot::LocalMachine, key, s.name, s.type, s.data), RegStatus::Ok)
            << s.name;

    const Result r = RunTool({"export", "HKLM\\Software\\Forms"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        QStringLiteral("Windows Registry Editor Version 5.00\n"
                       "\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Forms]\n"
                       "\"Blob\"=hex:00,09,12,1b,24,2d,36,3f,48,51,5a,63,6c,75,7e,87,90,99,a2,ab,b4,bd,\\\n"
                       "  c6,cf,d8,e1,ea,f3,fc,05\n"
                       "\"NoTerminator\"=hex(1):61,00,62,00\n"
                       "\"Zero\"=hex(1):61,00,00,00,62,00,00,00\n"
                       "\"Lines\"=hex(1):6f,00,6e,00,65,00,0a,00,74,00,77,00,6f,00,00,00\n"
                       "\"Escape\"=hex(1):61,00,1b,00,62,00,00,00\n"
                       "\"Short\"=hex(4):01,02,03\n"
                       "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                       "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n"
                       "\"Odd\\\"Name\\\\\"=hex(20000):\n"
                       "\n"));
}

struct ErrorCase {
    const char* label;
    std::vector<std::string> args;
    int code;
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.label;
}

class RegToolErrorTest : public RegToolTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(RegToolErrorTest, FailsWithOneLineAndLeavesTheStoreAlone)
{
    ASSERT_EQ(
        CRegistry::SetValue(RegRoot::CurrentUser, "Software\\Keep", "v", RegSz, CRegistry::StringData("x")),
        RegStatus::Ok);
    QStringList args;
    for (const std::string& a : GetParam().args)
        args << QString::fromStdString(a);

    const Result r = RunTool(args);
    EXPECT_EQ(r.code, GetParam().code);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QLatin1String("norvex-reg: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith('\n'));
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();

    QList<RegValue> values;
    ASSERT_EQ(CRegistry::EnumKey(RegRoot::CurrentUser, "Software\\Keep", nullptr, &values), RegStatus::Ok);
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].data, CRegistry::StringData("x"));
    QStringList subkeys;
    ASSERT_EQ(CRegistry::EnumKey(RegRoot::CurrentUser, "Software", &subkeys, nullptr), RegStatus::Ok);
    EXPECT_EQ(subkeys, QStringList{"Keep"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegToolErrorTest,
    testing::Values(
        ErrorCase{"NoArguments", {}, 2}, ErrorCase{"UnknownCommand", {"frob", "HKCU\\Software"}, 2},
        ErrorCase{"NoKey", {"query"}, 2}, ErrorCase{"UnknownRoot", {"query", "HKXX\\Software"}, 2},
        ErrorCase{"UnknownOption", {"query", "HKCU\\Software", "--verbose"}, 2},
        ErrorCase{"OptionWithoutArgument", {"query", "HKCU\\Software", "--value"}, 2},
        ErrorCase{"TwoKeys", {"query", "HKCU\\Software", "HKCU\\Other"}, 2},
        ErrorCase{"AddValueWithoutData", {"add", "HKCU\\Software\\New", "--value", "v"}, 2},
        ErrorCase{
            "DwordNotANumber", {"add", "HKCU\\Software\\New", "--type", "REG_DWORD", "--data", "many"}, 2},
        ErrorCase{"DwordTooLarge",
                  {"add", "HKCU\\Software\\New", "--type", "REG_DWORD", "--data", "4294967296"},
                  2},
        ErrorCase{"DwordNegative", {"add", "HKCU\\Software\\New", "--type", "REG_DWORD", "--data", "-1"}, 2},
        ErrorCase{
            "UnsupportedType", {"add", "HKCU\\Software\\New", "--type", "REG_BINARY", "--data", "00"}, 2},
        ErrorCase{"DataOutsideAdd", {"delete", "HKCU\\Software\\Keep", "--data", "x"}, 2},
        ErrorCase{"MalformedKey", {"add", "HKCU\\Software\\\\New", "--data", "x"}, 2},
        ErrorCase{"LongKeyName", {"add", "HKCU\\Software\\" + std::string(256, 'k'), "--data", "x"}, 2},
        ErrorCase{"DeleteRoot", {"delete", "HKCU"}, 2},
        ErrorCase{"DeleteClassesRoot", {"delete", "HKCR\\"}, 2},
        ErrorCase{"QueryMissingKey", {"query", "HKCU\\Software\\None"}, 1},
        ErrorCase{"QueryMissingValue", {"query", "HKCU\\Software\\Keep", "--value", "w"}, 1},
        ErrorCase{"QueryValueOfMissingKey", {"query", "HKCU\\Software\\None", "--value", "v"}, 1},
        ErrorCase{"DeleteMissingKey", {"delete", "HKCU\\Software\\None"}, 1},
        ErrorCase{"DeleteMissingValue", {"delete", "HKCU\\Software\\Keep", "--value", "w"}, 1},
        ErrorCase{"ExportMissingKey", {"export", "HKCU\\Software\\None"}, 1},
        ErrorCase{"ExportMissingHive", {"export", "HKLM\\Software"}, 1},
        ErrorCase{"LineBreakInKeyName", {"add", "HKCU\\Software\\A\nB", "--data", "x"}, 2},
        ErrorCase{"EscapeInValueName", {"query", "HKCU\\Software\\Keep", "--value", "v\x1b"}, 2},
        ErrorCase{"TabInDeletedKey", {"delete", "HKCU\\Software\\Keep\tx"}, 2}),
    TESTS::CaseNameBy<&ErrorCase::label>());

TEST_F(RegToolTest, DamagedHiveIsReportedAndKept)
{
    const QByteArray junk(4096, 'J');
    TESTS::WriteFileBytes(UserHivePath(), junk);
    for (const QStringList& args :
         {QStringList{"add", "HKCU\\Software\\X", "--data", "x"}, QStringList{"query", "HKCU\\Software\\X"},
          QStringList{"delete", "HKCU\\Software\\X"}, QStringList{"export", "HKCU\\Software"}}) {
        const Result r = RunTool(args);
        EXPECT_EQ(r.code, 3) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("norvex-reg: ") + UserHivePath())) << r.err.toStdString();
    }
    EXPECT_EQ(TESTS::ReadFileBytes(UserHivePath()), junk);
}

TEST_F(RegToolTest, HiveThatIsAFolderIsAFailureNotAMissingKey)
{
    ASSERT_TRUE(QDir().mkpath(UserHivePath()));
    for (const QStringList& args :
         {QStringList{"query", "HKCU\\Software"}, QStringList{"query", "HKCU\\Software", "--value", "v"},
          QStringList{"export", "HKCU\\Software"}}) {
        const Result r = RunTool(args);
        EXPECT_EQ(r.code, 3) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("norvex-reg: ") + UserHivePath())) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("not found"))) << r.err.toStdString();
    }
}

// Names the text form cannot hold never reach the export raw: no line opens a key.
TEST_F(RegToolTest, ExportLeavesOutNamesWithControlCharacters)
{
    const QString injected = QStringLiteral("Bad\n[HKEY_LOCAL_MACHINE\\Evil]");
    ASSERT_EQ(CRegistry::SetValue(RegRoot::CurrentUser, "Software\\Inject\\" + injected, "v", RegSz,
                                  CRegistry::StringData("x")),
              RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(RegRoot::CurrentUser, "Software\\Inject", "w\n\"x\"=\"y", RegSz,
                                  CRegistry::StringData("x")),
              RegStatus::Ok);
    ASSERT_EQ(CRegistry::SetValue(RegRoot::CurrentUser, "Software\\Inject", "good", RegSz,
                                  CRegistry::StringData("ok")),
              RegStatus::Ok);
    const Result r = RunTool({"export", "HKCU\\Software\\Inject"});
    EXPECT_EQ(r.code, 3) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Inject]\n"
                             "\"good\"=\"ok\"\n\n"));
    EXPECT_EQ(r.err.count(QStringLiteral("left out")), 2) << r.err.toStdString();
}

TEST_F(RegToolTest, HelpAndScope)
{
    const Result help = RunTool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage: norvex-reg COMMAND KEY")));
    EXPECT_TRUE(help.err.isEmpty());

    // The machine hive follows NORVEX_SCOPE in the tool as in the installer.
    const char* const scopes[] = {"user", "machine"};
    QStringList hives;
    for (const char* scope : scopes) {
        setenv("NORVEX_SCOPE", scope, 1);
        ExpectRun({"add", "HKLM\\Software\\Scoped", "--value", "Scope", "--data", scope});
        hives << MachineHivePath();
        EXPECT_TRUE(QFileInfo(hives.last()).isFile()) << scope;
    }
    EXPECT_NE(hives[0], hives[1]);
    for (const char* scope : scopes) {
        setenv("NORVEX_SCOPE", scope, 1);
        EXPECT_EQ(RunTool({"query", "HKLM\\Software\\Scoped", "--value", "Scope"}).out,
                  QString::fromUtf8(scope) + '\n');
    }
    EXPECT_FALSE(QFileInfo::exists(UserHivePath()));
}

}  // namespace
