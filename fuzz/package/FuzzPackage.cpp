// Treats the input as a package file and extracts the manifest and one other
// entry from it, as start-up and file deployment do with a package from disk.
#include "database/InstallCabDB.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

QString WorkFolder()
{
    static const QString folder = [] {
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/fuzz_packageXXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made)
            abort();
        return QString::fromLocal8Bit(made) + u'/';
    }();
    return folder;
}

// The name of the first entry that is not the manifest, read through the layer.
QString OtherEntryName(const QString& package)
{
    CInstallCabDB db;
    if (!db.Open(package))
        return QString();
    QString name;
    DATABASE::CppSQLite3Query query;
    if (db.Query(QStringLiteral("select name from files where name<>? order by id limit 1;"), query,
                 {QStringLiteral("Install.xml")})) {
        try {
            if (!query.IsEof())
                name = query.GetTextField(0);
            query.Finalize();
        } catch (const DATABASE::CppSQLite3Exception&) {
        }
    }
    query = DATABASE::CppSQLite3Query();
    db.Close();
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = WorkFolder();
    const QString package = folder + QStringLiteral("package.cab");
    {
        QFile file(package);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            abort();
    }

    int length = 0;
    {
        CInstallCabDB db;
        db.ExtractFile(QStringLiteral("Install.xml"), folder + QStringLiteral("Install.xml"), {package},
                       false, &length);
    }
    const QString other = OtherEntryName(package);
    if (!other.isEmpty()) {
        CInstallCabDB db;
        db.ExtractFile(other, folder + QStringLiteral("entry"), {package}, true, &length);
    }

    // Start every input from the same empty folder.
    QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        dir.remove(entry);
    return 0;
}
