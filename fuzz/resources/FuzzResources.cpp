// Treats the input as an executable with resources attached at its end and
// reads its directory and every entry, as start-up does with its own file.
#include "platform/ExecutableResources.h"

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
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/fuzz_resourcesXXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made)
            abort();
        return QString::fromLocal8Bit(made) + u'/';
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = WorkFolder();
    const QString path = folder + QStringLiteral("setup");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            abort();
    }
    PLATFORM::CExecutableResources resources;
    const bool sound = resources.Open(path);
    // A sound directory is never also damaged, and every entry lies inside the file.
    if (sound && resources.Damaged())
        abort();
    for (const PLATFORM::ResourceEntry& entry : resources.Entries()) {
        if (entry.offset > size || entry.size > size - entry.offset)
            abort();
        QByteArray bytes;
        if (!resources.Load(entry, bytes) || quint64(bytes.size()) != entry.size)
            abort();
        if (!resources.SaveToFile(entry, folder + QStringLiteral("entry")))
            abort();
    }
    QFile::remove(folder + QStringLiteral("entry"));
    return 0;
}
