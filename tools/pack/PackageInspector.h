// norvex-pack list and verify: reads the rows of a package, or of the package
// attached to an installer, and checks every row and the attached digest. The
// package is opened and its entries restored as the installer does, one entry
// at a time.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CInstallCabDB;
class QTemporaryFile;

struct PackageRowInfo {
    qint64 id = 0;
    qint64 row = 0;  // SQLite's rowid, by which the data is read
    QString name;
    int mode = 0;
    qint64 length = 0;
    qint64 len = 0;
    QString time;
    QString md5;
    QString dataType;  // typeof(data)
};

class CPackageInspector {
public:
    CPackageInspector();
    ~CPackageInspector();

    // A package file, or an installer that carries one (written to a private
    // temporary file for reading). False with a one-line reason when the file
    // is missing or an installer's package cannot be written out; whether it
    // is a readable package shows in ReadRows.
    bool Open(const QString& path, QString* error);

    bool IsInstaller() const { return m_isInstaller; }
    // Rows in id order, without their data.
    bool ReadRows(std::vector<PackageRowInfo>& rows, QString* error) const;
    // Everything wrong with the package (and the installer's digest text), one
    // line each; empty when all is sound. progress, when set, hears the file
    // bytes (lengths) checked so far of their total after each row.
    QStringList Verify(const std::function<void(qint64 done, qint64 total)>& progress = {}) const;

private:
    bool OpenPackage(CInstallCabDB& db, QString* error) const;
    static bool ReadRows(CInstallCabDB& db, std::vector<PackageRowInfo>& rows, QString* error);
    // The problems of one row; empty when it is sound. bytes (may be null)
    // receives the restored bytes, empty unless all of them came out.
    static QStringList CheckRow(CInstallCabDB& db, const PackageRowInfo& row, QByteArray* bytes);
    void AppendDigestProblems(QStringList& problems) const;

    QString m_packagePath;
    bool m_isInstaller = false;
    QByteArray m_attachedDigest;
    bool m_hasAttachedDigest = false;
    std::unique_ptr<QTemporaryFile> m_extracted;
};
