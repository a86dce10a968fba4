// The package: an SQLite file whose files table holds every file to install.
// ExtractFile restores one entry by name onto the disk.
#pragma once

#include "common/Failure.h"
#include "database/SQLiteDBBase.h"

#include <QString>

class CInstallCabDB : public DATABASE::CSQLiteDBBase {
public:
    CInstallCabDB();
    ~CInstallCabDB() override;

    // The config table (base class), then the files table.
    int CreateTables() override;

    // Looks up the entry `name` (exact, case-sensitive) in the package at packagePath,
    // restores its bytes, checks their MD5 and writes them to targetPath through a
    // temporary file in the same folder that replaces the target only when complete.
    // With pump, PumpMessages runs before every 64 KiB chunk and a cancel stops the
    // write. outLength (may be null) receives the entry's length as soon as its row is
    // read. True when the file was written completely with a matching digest.
    bool ExtractFile(const QString& name, const QString& targetPath, const QString& packagePath,
                     bool pump, int* outLength);

    // Why the last ExtractFile returned false: the package could not be read
    // (SQLite's message), the entry is missing, its size or digest does not
    // match, its data is damaged, the user cancelled, or the target could not
    // be written (the system's error text).
    const CFailure& ExtractFailure() const { return m_failure; }

private:
    // Closes the connection; the reason of an earlier failure stays the last error.
    void CloseKeepingError();

    CFailure m_failure;
};
