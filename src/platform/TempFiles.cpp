#include "platform/TempFiles.h"

#include "platform/SpecialFolders.h"

#include <QByteArray>
#include <QFile>

#include <cstdlib>

#include <unistd.h>

QString GetTempDirectory() { return PLATFORM::TempFolder(); }

QString CreateTempFileName(const QString& prefix)
{
    const QString folder = GetTempDirectory();
    const QString head = prefix.left(3);
    // The prefix names a file, never a way out of the temporary folder.
    if (folder.isEmpty() || head.contains(u'/'))
        return {};
    QByteArray name = QFile::encodeName(folder + head + QStringLiteral("XXXXXX.tmp"));
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(name);
}
