// The package: an SQLite file whose files table holds every file to install.
// ExtractFile restores one entry by name onto the disk.
#pragma once

#include "common/Failure.h"
#include "database/PackageEntry.h"
#include "database/PackageSource.h"
#include "database/SQLiteDBBase.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class CInstallCabDB : public DATABASE::CSQLiteDBBase {
public:
    CInstallCabDB();
    ~CInstallCabDB() override;

    // The config table (base class), then the files table.
    int CreateTables() override;

    // Looks up the entry `name` (exact, case-sensitive) in the package,
    // restores its bytes, checks their MD5 and writes them to targetPath
    // through a temporary file in the same folder that replaces the target
    // only when complete. With pump, PumpMessages runs before every 64 KiB
    // chunk and a cancel stops the write. outLength (may be null) receives the
    // entry's length as soon as its row is read. True when the file was
    // written completely with a matching digest.
    bool ExtractFile(const QString& name, const QString& targetPath, const DATABASE::PackageSource& package,
                     bool pump, int* outLength);

    // True when targetPath already is what ExtractFile would make of the entry
    // `name`: a plain file of this user under one name, with the entry's
    // length, time and mode, and the entry's MD5 over its bytes. Nothing is
    // written. With pump, PumpMessages runs between 1 MiB reads, and a cancel
    // ends the check with false. outLength (may be null) receives the length
    // when true.
    bool TargetIsCurrent(const QString& name, const QString& targetPath,
                         const DATABASE::PackageSource& package, bool pump, int* outLength);

    // While on, ExtractFile keeps the package open from one entry to the next
    // instead of opening and checking it for each: for extracting many entries
    // in a row. A package that changed on disk in between is opened and
    // checked anew. Off (and the object's end) closes it. Either way the
    // reader notes where each name's entry is in the package it read last,
    // for the next lookup in the same, unchanged package.
    void KeepPackageOpen(bool keep);

    // The uncompressed length of every entry of the package, by name (the
    // first row of a name counts, as for ExtractFile). False, with the reason
    // in ExtractFailure, when the package cannot be read.
    bool ReadEntryLengths(const DATABASE::PackageSource& package, QHash<QString, qint64>& lengths);

    // Why the last ExtractFile returned false: the package could not be read
    // (SQLite's message), the entry is missing, its size or digest does not
    // match, its data is damaged, the user cancelled, or the target could not
    // be written (the system's error text).
    const CFailure& ExtractFailure() const { return m_failure; }

    // Opens the package for reading in place (a range of its file too), read
    // only and untrusted; false (with the reason as the last error) when
    // there is no such file or files and config are not plain tables.
    // Every reader of a package opens it so; Close ends the reading.
    bool OpenPackage(const DATABASE::PackageSource& package);
    // The stored data of row `row` of the open package's files table, whose
    // typeof(data) is dataType. Throws CppSQLite3Exception when it cannot be
    // fetched.
    std::unique_ptr<DATABASE::CEntryData> EntryData(int64_t row, const QString& dataType);

private:
    struct Session;

    // Opens the package (or takes the one kept open) and finds the first row
    // named `name`: query is at it, or at its end when there is none. False,
    // with m_failure set and the package closed, when it cannot be read.
    bool FindEntry(const QString& name, const DATABASE::PackageSource& package,
                   DATABASE::CppSQLite3Query& query);
    // What ends each use of an entry's row.
    void DoneWithEntry(DATABASE::CppSQLite3Query& query);
    // Closes the connection; the reason of an earlier failure stays the last error.
    void CloseKeepingError();
    // Whether the open package can serve the next entry: it is kept open and
    // its file is the one opened, unchanged.
    bool KeptOpenOn(const DATABASE::PackageSource& package) const;
    // Opens the package, and when it is to be kept open, notes what that needs.
    bool OpenForExtract(const DATABASE::PackageSource& package);
    // The noted row of the first entry named `name` in the open package, when
    // the notes are for it as it is now (noted now when there are none).
    std::optional<int64_t> NotedRow(const DATABASE::PackageSource& package, const QString& name);
    // Ends keeping the connection open; the notes stay.
    void EndSession();
    // Ends any session and closes the connection, for an opening anew.
    void CloseForReopen();

    CFailure m_failure;
    bool m_keepOpen = false;
    std::unique_ptr<Session> m_session;  // the notes on the package read last
};
