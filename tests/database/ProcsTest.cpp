#include "support/CaseName.h"
#include "support/Sandbox.h"

#include "database/DataTable.h"
#include "database/FieldTable.h"
#include "database/SQLiteDBBase.h"
#include "database/SqlProcHelperParam.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>

#include <sqlite3.h>

using namespace DATABASE;

namespace {

const QString ReadProc = QStringLiteral("nvs_Config_GetProc");
const QString WriteProc = QStringLiteral("nvs_Config_WriteProc");
const QString ConfigSchema =
    QStringLiteral("CREATE TABLE config(ID ntext PRIMARY KEY, strValue ntext, intValue int)");

// Direct SQLite access, independent of the layer, to prepare and inspect files.
void RawExec(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QString RawText(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QString result;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return result;
}

class ProcsTest : public testing::Test {
protected:
    void SetUp() override { db.SetPath(path); }

    const QString path = TESTS::SandboxPath(QStringLiteral("data/settings.db"));
    CSQLiteDBBase db;
};

TEST_F(ProcsTest, SetConfigInsertsThenUpdatesSameRow)
{
    ASSERT_TRUE(db.SetConfig(QStringLiteral("InstallVersion"), 0, QStringLiteral("6.4")))
        << db.GetLastError().toStdString();
    EXPECT_EQ(RawText(path, "SELECT strValue || '|' || intValue FROM config WHERE ID='InstallVersion'"),
              QStringLiteral("6.4|0"));

    ASSERT_TRUE(db.SetConfig(QStringLiteral("InstallVersion"), 3, QStringLiteral("6.5")));
    EXPECT_EQ(RawText(path, "SELECT count(*) FROM config"), QStringLiteral("1"));

    QString text;
    int value = -1;
    ASSERT_TRUE(db.GetConfig(QStringLiteral("InstallVersion"), value, text));
    EXPECT_EQ(text, QStringLiteral("6.5"));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(db.IsOpen());  // every procedure closes again
}

TEST_F(ProcsTest, SingleOutputSettersAndGetters)
{
    ASSERT_TRUE(db.SetConfigString(QStringLiteral("ProgramName"), QStringLiteral("Tessaly 标签")));
    ASSERT_TRUE(db.SetConfigInt(QStringLiteral("Runs"), 12));

    QString name;
    int runs = 0;
    int nameInt = -1;
    EXPECT_TRUE(db.GetConfigString(QStringLiteral("ProgramName"), name));
    EXPECT_TRUE(db.GetConfigInt(QStringLiteral("Runs"), runs));
    EXPECT_TRUE(db.GetConfigInt(QStringLiteral("ProgramName"), nameInt));
    EXPECT_EQ(name, QStringLiteral("Tessaly 标签"));
    EXPECT_EQ(runs, 12);
    EXPECT_EQ(nameInt, 0);
    // An integer setting stores empty text, not NULL.
    EXPECT_EQ(RawText(path, "SELECT typeof(strValue) FROM config WHERE ID='Runs'"), QStringLiteral("text"));
}

TEST_F(ProcsTest, MissingIdLeavesOutputsUntouched)
{
    ASSERT_TRUE(db.SetConfigInt(QStringLiteral("Present"), 1));

    int value = 12345;
    QString text = QStringLiteral("unchanged");
    EXPECT_FALSE(db.GetConfigInt(QStringLiteral("Absent"), value));
    EXPECT_FALSE(db.GetConfig(QStringLiteral("Absent"), value, text));
    EXPECT_EQ(value, 12345);
    EXPECT_EQ(text, QStringLiteral("unchanged"));

    // For the procedure itself an absent ID is a success with no rows.
    CTYFieldTable table;
    SqlProcStatus status;
    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), QStringLiteral("Absent"));
    EXPECT_TRUE(db.ExecProc(ReadProc, params, table, &status));
    EXPECT_EQ(table.GetRowCount(), 0);
    EXPECT_EQ(table.GetColumnCount(), 3);
    EXPECT_EQ(status.code, 14);
    EXPECT_EQ(status.message, QString());
}

TEST_F(ProcsTest, ReadOfMissingFileFailsWithoutCreatingIt)
{
    int value = 5;
    EXPECT_FALSE(db.GetConfigInt(QStringLiteral("Any"), value));
    EXPECT_EQ(value, 5);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(ProcsTest, WriteCreatesMissingConfigTable)
{
    TESTS::WriteFileBytes(path, QByteArray());
    RawExec(path, "create table files(id INTEGER PRIMARY KEY AUTOINCREMENT, name ntext);");

    // Reading first: no table is an error with SQLite's reason kept.
    CTYFieldTable table;
    SqlProcStatus status;
    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), QStringLiteral("Runs"));
    EXPECT_FALSE(db.ExecProc(ReadProc, params, table, &status));
    EXPECT_EQ(status.code, 14);
    EXPECT_EQ(status.message, QStringLiteral("SQLITE_ERROR[1]: no such table: config"));
    EXPECT_EQ(db.GetLastError(), status.message);

    ASSERT_TRUE(db.SetConfigInt(QStringLiteral("Runs"), 4)) << db.GetLastError().toStdString();
    EXPECT_EQ(RawText(path, "SELECT sql FROM sqlite_master WHERE name='config'"), ConfigSchema);
    EXPECT_EQ(RawText(path, "SELECT count(*) FROM files"), QStringLiteral("0"));
    int runs = 0;
    EXPECT_TRUE(db.GetConfigInt(QStringLiteral("Runs"), runs));
    EXPECT_EQ(runs, 4);
}

TEST_F(ProcsTest, WriteToMissingFileCreatesItWithConfigTable)
{
    ASSERT_TRUE(db.SetConfigString(QStringLiteral("InstallData"), QString()));
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(RawText(path, "SELECT sql FROM sqlite_master WHERE name='config'"), ConfigSchema);
}

// Quotes and SQL in IDs and values are data, not statement text.
TEST_F(ProcsTest, QuotedIdsAndValuesRoundTrip)
{
    const QString cases[] = {
        QStringLiteral("O'Brien"), QStringLiteral("'); DROP TABLE config; --"),
        QStringLiteral("a''b"),    QStringLiteral("%s %d"),
        QStringLiteral("标签'名"),
    };
    int expected = 0;
    for (const QString& id : cases) {
        SCOPED_TRACE(id.toStdString());
        ++expected;
        ASSERT_TRUE(db.SetConfig(id, expected, id + QStringLiteral(" it's")))
            << db.GetLastError().toStdString();
        ASSERT_TRUE(db.SetConfig(id, expected * 10, QStringLiteral("x'") + id))
            << db.GetLastError().toStdString();

        int value = 0;
        QString text;
        ASSERT_TRUE(db.GetConfig(id, value, text));
        EXPECT_EQ(value, expected * 10);
        EXPECT_EQ(text, QStringLiteral("x'") + id);
    }
    EXPECT_EQ(RawText(path, "SELECT count(*) FROM config"), QString::number(expected));
}

// Which ExecProc overload a case calls.
enum class ProcKind { FieldTable, DataTable, Write };

struct ProcNameCase {
    const char* name;
    ProcKind kind;
    const char* procName;
    bool runs;
};

void PrintTo(const ProcNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProcNameTest : public ProcsTest, public testing::WithParamInterface<ProcNameCase> {};

TEST_P(ProcNameTest, NameSelectsProcedure)
{
    const ProcNameCase& c = GetParam();
    ASSERT_TRUE(db.SetConfig(QStringLiteral("ProgramTitle"), 2, QStringLiteral("Norvex")));

    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@id"), QStringLiteral("ProgramTitle"));
    PROVIDER::AddParam(params, QStringLiteral("@StrValue"), QStringLiteral("Written"));
    PROVIDER::AddIntParam(params, 9);
    SqlProcStatus status;
    status.code = -1;
    const QString name = QString::fromUtf8(c.procName);

    bool ok = false;
    CTYFieldTable fieldTable;
    CTYDataTable dataTable;
    dataTable.SetMode(CTYDataTable::JsonMode);
    if (c.kind == ProcKind::FieldTable)
        ok = db.ExecProc(name, params, fieldTable, &status);
    else if (c.kind == ProcKind::DataTable)
        ok = db.ExecProc(name, params, dataTable, &status);
    else
        ok = db.ExecProc(name, params, &status);

    QString stored;
    ASSERT_TRUE(db.GetConfigString(QStringLiteral("ProgramTitle"), stored));
    if (!c.runs) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(status.code, 5);
        EXPECT_EQ(status.message, QStringLiteral("未知的错误"));
        EXPECT_EQ(stored, QStringLiteral("Norvex"));
        return;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(status.code, 14);
    EXPECT_EQ(status.message, QString());
    if (c.kind == ProcKind::FieldTable) {
        EXPECT_EQ(fieldTable.GetRowCount(), 1);
        EXPECT_EQ(fieldTable.GetFirstRowText(fieldTable.FindColumn(QStringLiteral("STRVALUE"))),
                  QStringLiteral("Norvex"));
    } else if (c.kind == ProcKind::DataTable) {
        EXPECT_EQ(dataTable.GetMode(), CTYDataTable::FieldTableMode);
        EXPECT_EQ(dataTable.GetRowCount(), 1);
        EXPECT_EQ(dataTable.GetIntValue(), 2);
        EXPECT_EQ(dataTable.GetStrValue(), QStringLiteral("Norvex"));
    } else {
        EXPECT_EQ(stored, QStringLiteral("Written"));
        int value = 0;
        EXPECT_TRUE(db.GetConfigInt(QStringLiteral("ProgramTitle"), value));
        EXPECT_EQ(value, 9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProcNameTest,
    testing::Values(
        ProcNameCase{"FieldTableRead", ProcKind::FieldTable, "nvs_Config_GetProc", true},
        ProcNameCase{"DataTableReadCapitals", ProcKind::DataTable, "NVS_CONFIG_GETPROC", true},
        ProcNameCase{"WriteLowerCase", ProcKind::Write, "nvs_config_writeproc", true},
        ProcNameCase{"FieldTableWithWriteName", ProcKind::FieldTable, "nvs_Config_WriteProc", false},
        ProcNameCase{"DataTableWithWriteName", ProcKind::DataTable, "nvs_Config_WriteProc", false},
        ProcNameCase{"WriteWithReadName", ProcKind::Write, "nvs_Config_GetProc", false},
        ProcNameCase{"EmptyName", ProcKind::Write, "", false},
        ProcNameCase{"NameWithSpace", ProcKind::DataTable, "nvs_Config_GetProc ", false}),
    TESTS::CaseName());

TEST_F(ProcsTest, ReadProcClearsTableFirst)
{
    ASSERT_TRUE(db.SetConfigInt(QStringLiteral("A"), 1));
    CTYFieldTable table;
    table.AddColumn(QStringLiteral("old"), CTYField::Text);
    table.AddRow().fields.push_back(CTYField::FromText(QStringLiteral("stale")));

    std::vector<PROVIDER::CSqlProcHelperParam> params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), QStringLiteral("A"));
    ASSERT_TRUE(db.ExecProc(ReadProc, params, table));
    ASSERT_EQ(table.GetRowCount(), 1);
    EXPECT_EQ(table.FindColumn(QStringLiteral("old")), -1);
    EXPECT_EQ(table.GetColumns().at(0).name, QStringLiteral("ID"));
    EXPECT_EQ(table.GetFirstRowText(0), QStringLiteral("A"));
}

struct KindCase {
    const char* declType;
    const char* value;
    int columnKind;
    int fieldKind;
    const char* text;
};

// The column's kind comes from its first row; a NULL counts as integer only in
// a column declared exactly "int".
TEST_F(ProcsTest, LoadTableKinds)
{
    const KindCase cases[] = {
        {"int", "NULL", CTYField::Int, CTYField::Text, ""},
        {"INT", "NULL", CTYField::Int, CTYField::Text, ""},
        {"ntext", "NULL", CTYField::Text, CTYField::Text, ""},
        {"integer", "NULL", CTYField::Text, CTYField::Text, ""},
        {"int", "-42", CTYField::Int, CTYField::Int, "-42"},
        {"real", "0.25", CTYField::Double, CTYField::Double, "0.25"},
        {"real", "3", CTYField::Double, CTYField::Double, "3"},
        {"real", "1.5", CTYField::Double, CTYField::Double, "1.5"},
        {"ntext", "'6.4'", CTYField::Text, CTYField::Text, "6.4"},
        {"ntext", "'标签'", CTYField::Text, CTYField::Text, "标签"},
    };
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Close());
    int n = 0;
    for (const KindCase& c : cases) {
        const std::string sql = "create table t" + std::to_string(n) + "(v " + c.declType + ");insert into t"
            + std::to_string(n) + " values(" + c.value + ");";
        RawExec(path, sql.c_str());
        SCOPED_TRACE(sql);

        CTYFieldTable table;
        ASSERT_EQ(db.QueryTable(QStringLiteral("SELECT v FROM t%1").arg(n), table), 1)
            << db.GetLastError().toStdString();
        ASSERT_EQ(table.GetColumnCount(), 1);
        EXPECT_EQ(table.GetColumns()[0].name, QStringLiteral("v"));
        EXPECT_EQ(table.GetColumns()[0].kind, c.columnKind);
        ASSERT_EQ(table.GetRow(0)->fields.size(), 1u);
        EXPECT_EQ(table.GetRow(0)->fields[0].kind, c.fieldKind);
        EXPECT_EQ(table.GetFirstRowText(0), QString::fromUtf8(c.text));
        ++n;
    }
}

TEST_F(ProcsTest, LoadTableKindsPerRowAndColumnsWithoutRows)
{
    ASSERT_TRUE(db.Open(path));
    ASSERT_TRUE(db.Close());
    RawExec(path,
            "create table m(a int, b); insert into m values(1, 'x'); insert into m values('y', 2.5);"
            "insert into m values(NULL, NULL);");

    CTYFieldTable table;
    ASSERT_EQ(db.QueryTable(QStringLiteral("SELECT a, b FROM m ORDER BY rowid"), table), 3);
    EXPECT_EQ(table.GetColumns()[0].kind, CTYField::Int);
    EXPECT_EQ(table.GetColumns()[1].kind, CTYField::Text);
    const int expected[3][2] = {{CTYField::Int, CTYField::Text},
                                {CTYField::Text, CTYField::Double},
                                {CTYField::Text, CTYField::Text}};
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        ASSERT_EQ(table.GetRow(r)->fields.size(), 2u);
        EXPECT_EQ(table.GetRow(r)->fields[0].kind, expected[r][0]);
        EXPECT_EQ(table.GetRow(r)->fields[1].kind, expected[r][1]);
    }

    // Without rows the declared type still decides; loading appends.
    ASSERT_EQ(db.QueryTable(QStringLiteral("SELECT a, b FROM m WHERE 0"), table), 0);
    ASSERT_EQ(table.GetColumnCount(), 4);
    EXPECT_EQ(table.GetColumns()[2].kind, CTYField::Int);
    EXPECT_EQ(table.GetColumns()[3].kind, CTYField::Text);
    EXPECT_EQ(table.GetRowCount(), 3);
}

TEST_F(ProcsTest, QueryTableFailureKeepsReason)
{
    CTYFieldTable table;
    EXPECT_EQ(db.QueryTable(QStringLiteral("SELECT * FROM nope"), table), -1);
    EXPECT_EQ(db.GetLastError(), QStringLiteral("SQLITE_ERROR[1]: no such table: nope"));
    EXPECT_FALSE(db.IsOpen());
}

}  // namespace
