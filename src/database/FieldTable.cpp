#include "database/FieldTable.h"

namespace DATABASE {

CTYFieldTable::~CTYFieldTable()
{
    ClearRows();
    ClearColumns();
}

void CTYFieldTable::ClearRows()
{
    m_rowIndex.clear();
    m_rows.clear();
    m_rowCount = 0;
}

void CTYFieldTable::ClearColumns()
{
    m_columns.clear();
}

void CTYFieldTable::AddColumn(const QString& name, int kind)
{
    m_columns.emplace_back(name, kind);
}

CTYFieldRow& CTYFieldTable::AddRow()
{
    m_rows.push_back(std::make_unique<CTYFieldRow>());
    m_rowIndex.push_back(std::prev(m_rows.end()));
    ++m_rowCount;
    return *m_rows.back();
}

const CTYFieldRow* CTYFieldTable::GetRow(int n) const
{
    if (n < 0 || n >= int(m_rowIndex.size()))
        return nullptr;
    return m_rowIndex[size_t(n)]->get();
}

int CTYFieldTable::FindColumn(const QString& name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

const CTYField* CTYFieldTable::FirstRowField(int column) const
{
    const CTYFieldRow* row = GetRow(0);
    if (!row || column < 0 || column >= int(row->fields.size()))
        return nullptr;
    return &row->fields[size_t(column)];
}

int32_t CTYFieldTable::GetFirstRowInt(int column) const
{
    const CTYField* field = FirstRowField(column);
    return field ? field->AsInt() : 0;
}

QString CTYFieldTable::GetFirstRowText(int column) const
{
    const CTYField* field = FirstRowField(column);
    return field ? field->AsText() : QString();
}

}  // namespace DATABASE
