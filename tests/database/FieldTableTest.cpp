#include "support/CaseName.h"

#include "database/DataTable.h"
#include "database/FieldTable.h"
#include "database/SqlProcHelperParam.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <ostream>
#include <string>

#include <json/reader.h>

using namespace DATABASE;

namespace {

struct ConversionCase {
    const char* name;
    CTYField field;
    int32_t asInt;
    const char* asText;
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

class FieldConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(FieldConversionTest, FirstRowGivesIntAndText)
{
    const ConversionCase& c = GetParam();
    CTYFieldTable table;
    table.AddColumn(QStringLiteral("v"), c.field.kind);
    table.AddRow().fields.push_back(c.field);

    EXPECT_EQ(table.GetFirstRowInt(0), c.asInt);
    EXPECT_EQ(table.GetFirstRowText(0), QString::fromUtf8(c.asText));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FieldConversionTest,
    testing::Values(
        ConversionCase{"TextDigits", CTYField::FromText(QStringLiteral("  42abc")), 42, "  42abc"},
        ConversionCase{"TextNegative", CTYField::FromText(QStringLiteral("-17")), -17, "-17"},
        ConversionCase{"TextStopsAtPoint", CTYField::FromText(QStringLiteral("6.4")), 6, "6.4"},
        ConversionCase{"TextLetters", CTYField::FromText(QStringLiteral("abc")), 0, "abc"},
        ConversionCase{"TextOverflowSaturates", CTYField::FromText(QStringLiteral("99999999999")),
                       std::numeric_limits<int32_t>::max(), "99999999999"},
        ConversionCase{"TextUnderflowSaturates", CTYField::FromText(QStringLiteral("-99999999999")),
                       std::numeric_limits<int32_t>::min(), "-99999999999"},
        ConversionCase{"Int", CTYField::FromInt(-5), -5, "-5"},
        ConversionCase{"DoubleQuarter", CTYField::FromDouble(0.25), 0, "0.25"},
        ConversionCase{"DoubleWhole", CTYField::FromDouble(3.0), 3, "3"},
        ConversionCase{"DoubleHalf", CTYField::FromDouble(1.5), 1, "1.5"},
        ConversionCase{"DoubleNegativeTruncates", CTYField::FromDouble(-2.75), -2, "-2.75"},
        ConversionCase{"DoubleZero", CTYField::FromDouble(0.0), 0, "0"},
        ConversionCase{"DoubleTen", CTYField::FromDouble(10.0), 10, "10"},
        ConversionCase{"DoubleHuge", CTYField::FromDouble(1e12), std::numeric_limits<int32_t>::max(),
                       "1000000000000"},
        ConversionCase{"UInt", CTYField::FromUInt(4000000000u), int32_t(4000000000u), "4000000000"},
        ConversionCase{"Int64LowBits", CTYField::FromInt64(0x100000007LL), 7, "4294967303"},
        ConversionCase{"UInt64", CTYField::FromUInt64(18446744073709551615ull), -1, "18446744073709551615"},
        ConversionCase{"NotSet", CTYField(), 0, ""}),
    TESTS::CaseName());

TEST(FieldTableTest, MissingRowOrFieldGivesZeroAndEmpty)
{
    CTYFieldTable table;
    table.AddColumn(QStringLiteral("a"), CTYField::Int);
    EXPECT_EQ(table.GetFirstRowInt(0), 0);
    EXPECT_EQ(table.GetFirstRowText(0), QString());

    table.AddRow().fields.push_back(CTYField::FromInt(9));
    for (int column : {-1, 1, 100}) {
        SCOPED_TRACE(column);
        EXPECT_EQ(table.GetFirstRowInt(column), 0);
        EXPECT_EQ(table.GetFirstRowText(column), QString());
    }
}

TEST(FieldTableTest, FindColumnIgnoresCaseAndTakesFirst)
{
    CTYFieldTable table;
    table.AddColumn(QStringLiteral("ID"), CTYField::Text);
    table.AddColumn(QStringLiteral("strValue"), CTYField::Text);
    table.AddColumn(QStringLiteral("STRVALUE"), CTYField::Int);

    EXPECT_EQ(table.FindColumn(QStringLiteral("id")), 0);
    EXPECT_EQ(table.FindColumn(QStringLiteral("StrValue")), 1);
    EXPECT_EQ(table.FindColumn(QStringLiteral("intValue")), -1);
    EXPECT_EQ(table.FindColumn(QString()), -1);
}

TEST(FieldTableTest, RowsKeepLoadOrderAndClearResetsIndex)
{
    CTYFieldTable table;
    table.AddColumn(QStringLiteral("n"), CTYField::Int);
    for (int i = 0; i < 5; ++i)
        table.AddRow().fields.push_back(CTYField::FromInt(i * 10));

    ASSERT_EQ(table.GetRowCount(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(table.GetRow(i), nullptr);
        EXPECT_EQ(table.GetRow(i)->fields.at(0).intValue, i * 10);
    }
    EXPECT_EQ(table.GetRow(5), nullptr);

    table.ClearRows();
    EXPECT_EQ(table.GetRowCount(), 0);
    EXPECT_EQ(table.GetRow(0), nullptr);
    EXPECT_TRUE(table.GetRows().empty());
    EXPECT_EQ(table.GetColumnCount(), 1);  // columns survive a row clear

    table.AddRow().fields.push_back(CTYField::FromInt(77));
    EXPECT_EQ(table.GetFirstRowInt(0), 77);
    table.ClearColumns();
    EXPECT_EQ(table.GetColumnCount(), 0);
}

TEST(DataTableTest, FieldTableModeReadsConfigColumnsByName)
{
    CTYDataTable data;
    CTYFieldTable& t = data.FieldTable();
    t.AddColumn(QStringLiteral("ID"), CTYField::Text);
    t.AddColumn(QStringLiteral("strValue"), CTYField::Text);
    t.AddColumn(QStringLiteral("intValue"), CTYField::Int);
    CTYFieldRow& row = t.AddRow();
    row.fields = {CTYField::FromText(QStringLiteral("InstallVersion")),
                  CTYField::FromText(QStringLiteral("6.4")), CTYField::FromInt(12)};

    EXPECT_EQ(data.GetRowCount(), 1);
    EXPECT_EQ(data.GetIntValue(), 12);
    EXPECT_EQ(data.GetStrValue(), QStringLiteral("6.4"));

    data.SetMode(7);  // neither mode: nothing is read
    EXPECT_EQ(data.GetRowCount(), 0);
    EXPECT_EQ(data.GetIntValue(), 0);
    EXPECT_EQ(data.GetStrValue(), QString());
}

struct JsonCase {
    const char* name;
    const char* json;
    int rows;
    int32_t intValue;
    const char* strValue;
};

void PrintTo(const JsonCase& c, std::ostream* os)
{
    *os << c.name;
}

class DataTableJsonTest : public testing::TestWithParam<JsonCase> {};

TEST_P(DataTableJsonTest, FirstElementGivesValues)
{
    const JsonCase& c = GetParam();
    CTYDataTable data;
    data.SetMode(CTYDataTable::JsonMode);
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string text = c.json;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &data.JsonValue(), &errors)) << errors;

    EXPECT_EQ(data.GetRowCount(), c.rows);
    EXPECT_EQ(data.GetIntValue(), c.intValue);
    EXPECT_EQ(data.GetStrValue(), QString::fromUtf8(c.strValue));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DataTableJsonTest,
    testing::Values(
        JsonCase{"IntAndString", R"([{"intValue": 3, "strValue": "Tessaly 标签"}, {"intValue": 4}])", 2, 3,
                 "Tessaly 标签"},
        JsonCase{"RealTruncatesAndFormats", R"([{"intValue": 7.9, "strValue": 2.5}])", 1, 7, "2.50"},
        JsonCase{"IntAsText", R"([{"intValue": -8, "strValue": -12}])", 1, -8, "-12"},
        JsonCase{"IsoDateTime", R"([{"strValue": "2024-03-05T14:07:09.123Z"}])", 1, 0, "2024-03-05 14:07:09"},
        JsonCase{"ShortIsoIsKept", R"([{"strValue": "2024-03-05T14:07"}])", 1, 0, "2024-03-05T14:07"},
        JsonCase{"OtherKindsGiveNothing", R"([{"intValue": "12", "strValue": true}])", 1, 0, ""},
        JsonCase{"NullAndObject", R"([{"intValue": null, "strValue": {"a": 1}}])", 1, 0, ""},
        JsonCase{"HugeIntSaturates", R"([{"intValue": 9000000000, "strValue": 9000000000}])", 1,
                 std::numeric_limits<int32_t>::max(), "9000000000"},
        JsonCase{"MissingMembers", R"([{"ID": "x"}])", 1, 0, ""}, JsonCase{"EmptyArray", "[]", 0, 0, ""},
        JsonCase{"ElementNotObject", "[1, 2]", 2, 0, ""},
        JsonCase{"NotAnArray", R"({"intValue": 5, "strValue": "x"})", 0, 0, ""}),
    TESTS::CaseName());

TEST(DataTableTest, UnsignedJsonIntCountsButIsNoText)
{
    CTYDataTable data;
    data.SetMode(CTYDataTable::JsonMode);
    Json::Value row(Json::objectValue);
    row["intValue"] = Json::UInt(5);
    row["strValue"] = Json::UInt(5);
    data.JsonValue().append(row);

    EXPECT_EQ(data.GetIntValue(), 5);
    EXPECT_EQ(data.GetStrValue(), QString());
}

TEST(SqlProcHelperParamTest, FindIgnoresCaseAndIntParamHasFixedName)
{
    PROVIDER::CSqlProcHelperParamList params;
    PROVIDER::AddParam(params, QStringLiteral("@ID"), QStringLiteral("first"));
    PROVIDER::AddParam(params, QStringLiteral("@id"), QStringLiteral("second"));
    PROVIDER::AddIntParam(params, 42);

    const PROVIDER::CSqlProcHelperParam* id = PROVIDER::FindParam(params, QStringLiteral("@Id"));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->text, QStringLiteral("first"));
    EXPECT_EQ(id->kind, PROVIDER::CSqlProcHelperParam::Text);

    const PROVIDER::CSqlProcHelperParam* value = PROVIDER::FindParam(params, QStringLiteral("@intvalur"));
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->name, QStringLiteral("@INTVALUR"));
    EXPECT_EQ(value->kind, PROVIDER::CSqlProcHelperParam::Int);
    EXPECT_EQ(value->intValue, 42);

    EXPECT_EQ(PROVIDER::FindParam(params, QStringLiteral("@STRVALUE")), nullptr);
}

}  // namespace
