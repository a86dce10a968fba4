// The package: an SQLite file whose files table holds every file to install.
// ExtractFile restores one entry by name onto the disk.
#pragma once

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

private:
    // Opens the package at packagePath read only and untrusted; false (with the
    // reason as the last error) unless files and config are plain tables.
    bool OpenPackage(const QString& packagePath);

    // Closes the connection; the reason of an earlier failure stays the last error.
    void CloseKeepingError();
};
