#include "SmallDisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace TESTS {

bool MountSmallDisk(const QString& folder, qint64 sizeBytes, QString* why)
{
    auto fail = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    if (::geteuid() != 0)
        return fail(QStringLiteral("mounting a small tmpfs needs root"));
    static bool privateNamespace = false;
    if (!privateNamespace) {
        if (::unshare(CLONE_NEWNS) != 0)
            return fail(QStringLiteral("no private mount namespace: ")
                        + QString::fromLocal8Bit(std::strerror(errno)));
        // Mounts made from here on stay inside this process's namespace.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return fail(QStringLiteral("cannot make the mounts private: ")
                        + QString::fromLocal8Bit(std::strerror(errno)));
        privateNamespace = true;
    }
    QDir().mkpath(folder);
    const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData())
        != 0)
        return fail(QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

bool MakeSmallDiskReadOnly(const QString& folder, QString* why)
{
    if (::mount(nullptr, QFile::encodeName(folder).constData(), nullptr,
                MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr)
        == 0)
        return true;
    if (why)
        *why = QStringLiteral("cannot make the tmpfs read-only: ")
            + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

void UnmountSmallDisk(const QString& folder)
{
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

}  // namespace TESTS
