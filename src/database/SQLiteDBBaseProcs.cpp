// Field-table loading and the configuration procedures of CSQLiteDBBase.
#include "database/SQLiteDBBase.h"

namespace DATABASE {

bool CSQLiteDBBase::ExecProc(const QString&, const std::vector<PROVIDER::CSqlProcHelperParam>&,
                             CTYFieldTable&, SqlProcStatus*)
{
    return false;
}

bool CSQLiteDBBase::ExecProc(const QString&, const std::vector<PROVIDER::CSqlProcHelperParam>&,
                             CTYDataTable&, SqlProcStatus*)
{
    return false;
}

bool CSQLiteDBBase::ExecProc(const QString&, const std::vector<PROVIDER::CSqlProcHelperParam>&,
                             SqlProcStatus*)
{
    return false;
}

int CSQLiteDBBase::QueryTable(const QString&, CTYFieldTable&) { return -1; }
bool CSQLiteDBBase::GetConfig(const QString&, int&, QString&) { return false; }
bool CSQLiteDBBase::GetConfigInt(const QString&, int&) { return false; }
bool CSQLiteDBBase::GetConfigString(const QString&, QString&) { return false; }
bool CSQLiteDBBase::SetConfig(const QString&, int, const QString&) { return false; }
bool CSQLiteDBBase::SetConfigInt(const QString&, int) { return false; }
bool CSQLiteDBBase::SetConfigString(const QString&, const QString&) { return false; }
int CSQLiteDBBase::LoadTable(const QString&, CTYFieldTable&, const SqlParams&) { return -1; }

bool CSQLiteDBBase::RunConfigReadProc(const std::vector<PROVIDER::CSqlProcHelperParam>&,
                                      CTYFieldTable&, SqlProcStatus*)
{
    return false;
}

bool CSQLiteDBBase::RunConfigWriteProc(const std::vector<PROVIDER::CSqlProcHelperParam>&,
                                       SqlProcStatus*)
{
    return false;
}

}  // namespace DATABASE
