// A whole query result in memory: named, typed columns and rows of fields.
#pragma once

#include "database/Field.h"

#include <QString>

#include <list>
#include <memory>
#include <vector>

namespace DATABASE {

// One result column: its name and the kind of its first row's value.
class CTYFieldName {
public:
    CTYFieldName() = default;
    CTYFieldName(const QString& columnName, int columnKind) : name(columnName), kind(columnKind) {}
    CTYFieldName(const CTYFieldName&) = default;
    CTYFieldName& operator=(const CTYFieldName&) = default;
    virtual ~CTYFieldName() = default;

    QString name;
    int kind = CTYField::Text;
};

// One row: normally one field per column, in column order.
class CTYFieldRow {
public:
    CTYFieldRow() = default;
    CTYFieldRow(const CTYFieldRow&) = default;
    CTYFieldRow& operator=(const CTYFieldRow&) = default;
    virtual ~CTYFieldRow() = default;

    std::vector<CTYField> fields;
};

class CTYFieldTable {
public:
    using RowList = std::list<std::unique_ptr<CTYFieldRow>>;

    CTYFieldTable() = default;
    // Rows are owned and indexed by list position; a copy would share nothing
    // sensible, so tables are not copied.
    CTYFieldTable(const CTYFieldTable&) = delete;
    CTYFieldTable& operator=(const CTYFieldTable&) = delete;
    virtual ~CTYFieldTable();

    // Deletes every row, sets the row count to 0 and empties the row index.
    void ClearRows();
    void ClearColumns();

    void AddColumn(const QString& name, int kind);
    // Appends an empty row, indexes it and counts it.
    CTYFieldRow& AddRow();

    int GetRowCount() const { return m_rowCount; }
    int GetColumnCount() const { return int(m_columns.size()); }
    const std::vector<CTYFieldName>& GetColumns() const { return m_columns; }
    const RowList& GetRows() const { return m_rows; }
    // Row n in load order, or null when there is no such row.
    const CTYFieldRow* GetRow(int n) const;

    // Index of the first column whose name equals it ignoring letter case, or -1.
    int FindColumn(const QString& name) const;
    // The first row's field at the index as an integer; 0 when there is no
    // row or no such field.
    int32_t GetFirstRowInt(int column) const;
    // The first row's field at the index as text; empty when there is no row
    // or no such field.
    QString GetFirstRowText(int column) const;

private:
    const CTYField* FirstRowField(int column) const;

    int m_rowCount = 0;
    std::vector<CTYFieldName> m_columns;
    RowList m_rows;
    std::vector<RowList::iterator> m_rowIndex;
};

}  // namespace DATABASE
