// A query result held either as a field table or as a JSON array of row
// objects, with the two config columns read from its first row.
#pragma once

#include "database/FieldTable.h"

#include <QString>

#include <cstdint>

#include <json/value.h>

namespace DATABASE {

class CTYDataTable {
public:
    enum Mode : int {
        FieldTableMode = 0,
        JsonMode = 1,
    };

    CTYDataTable() = default;
    CTYDataTable(const CTYDataTable&) = delete;
    CTYDataTable& operator=(const CTYDataTable&) = delete;
    virtual ~CTYDataTable() = default;

    int GetMode() const { return m_mode; }
    void SetMode(int mode) { m_mode = mode; }
    CTYFieldTable& FieldTable() { return m_fieldTable; }
    const CTYFieldTable& FieldTable() const { return m_fieldTable; }
    // In JSON mode: an array of objects, one per row, members named after
    // the columns.
    Json::Value& JsonValue() { return m_json; }
    const Json::Value& JsonValue() const { return m_json; }

    // Rows of the field table, or elements of the JSON array; 0 in any other mode.
    int GetRowCount() const;
    // The first row's "intValue" column as an integer; 0 when there is none.
    int32_t GetIntValue() const;
    // The first row's "strValue" column as text; an ISO 8601 date-time
    // string from JSON comes back as YYYY-MM-DD HH:MM:SS.
    QString GetStrValue() const;

private:
    const Json::Value* FirstJsonMember(const char* name) const;

    int m_mode = FieldTableMode;
    CTYFieldTable m_fieldTable;
    Json::Value m_json;
};

}  // namespace DATABASE
