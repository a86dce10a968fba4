// Writes packages: a new package file with the fixed tables (page size 1024,
// UTF-16 text), its config rows and one files row per packed file, all in one
// transaction.
#pragma once

#include "database/InstallCabDB.h"

#include <QByteArray>
#include <QString>

// One files row. PackBytes fills mode, length, md5 and data.
struct PackageRow {
    QString name;
    QString ver;
    QString path;
    QString pack;
    QString action;
    int mode = 0;  // 1: data is a zlib stream, 0: data is the file's bytes
    qint64 length = 0;
    QString time;  // "YYYY-MM-DD HH:MM:SS", local time
    QString md5;   // upper case, of the original bytes
    QByteArray data;
};

// Compresses content at level (0-9) and keeps the stream (mode 1) only when
// it is smaller than the content; otherwise the bytes are stored (mode 0).
void PackBytes(const QByteArray& content, int level, PackageRow& row);

// The local wall-clock time of a moment, as the package's time column writes it.
QString PackageTimeText(qint64 secondsSinceEpoch);

class CPackageWriter : public CInstallCabDB {
public:
    static constexpr int kPageSize = 1024;

    ~CPackageWriter() override;

    // Creates the package at path (a file already there is replaced, an empty
    // one filled) and opens the transaction the rows go into.
    bool Create(const QString& path, QString* error);
    bool AddConfig(const QString& id, const QString& strValue, int intValue, QString* error);
    bool AddFile(const PackageRow& row, QString* error);
    // Commits and closes.
    bool Finish(QString* error);

protected:
    // Page size and text encoding must be set before the first table exists.
    int CreateTables() override;

private:
    bool Run(const QString& sql, const DATABASE::SqlParams& params, QString* error);
};
