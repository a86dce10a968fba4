// norvex-pack list and verify: reads the rows of a package, or of the package
// attached to an installer, and checks every row and the attached digest.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QTemporaryFile;

struct PackageRowInfo {
    qint64 id = 0;
    QString name;
    int mode = 0;
    qint64 length = 0;
    qint64 len = 0;
    QString time;
    QString md5;
    QByteArray data;
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
    // Rows in id order, with their data.
    bool ReadRows(std::vector<PackageRowInfo>& rows, QString* error) const;
    // Everything wrong with the package (and the installer's digest text), one
    // line each; empty when all is sound. progress, when set, hears the file
    // bytes (lengths) checked so far of their total after each row.
    QStringList Verify(const std::function<void(qint64 done, qint64 total)>& progress = {}) const;

    // The problems of one row; empty when it is sound.
    static QStringList CheckRow(const PackageRowInfo& row);

private:
    void AppendDigestProblems(QStringList& problems) const;

    QString m_packagePath;
    bool m_isInstaller = false;
    QByteArray m_attachedDigest;
    bool m_hasAttachedDigest = false;
    std::unique_ptr<QTemporaryFile> m_extracted;
};
