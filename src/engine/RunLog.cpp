#include "engine/RunLog.h"

#include "common/Failure.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

CRunLog::~CRunLog()
{
    Close();
}

bool CRunLog::Open(const QString& path, QString* error)
{
    Close();
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        if (error)
            *error = CFailure::FromErrno(QStringLiteral("cannot open the log"), path, errno).Text();
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void CRunLog::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CRunLog::Write(const QString& text)
{
    if (m_fd < 0)
        return;
    const QString stamp = QDateTime::currentDateTime()
                              .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                              .toString(Qt::ISODateWithMs);
    // One write per line: lines of runs sharing a log stay whole.
    const QByteArray line = (stamp + u' ' + text).toUtf8() + '\n';
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString reason =
                CFailure::FromErrno(QStringLiteral("cannot write the log"), m_path, n < 0 ? errno : EIO)
                    .Text();
            Close();
            if (OnWriteFailure) {
                OnWriteFailure(reason);
            } else {
                const QByteArray bytes = reason.toUtf8() + '\n';
                std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
                std::fflush(stderr);
            }
            return;
        }
        done += n;
    }
}

void CRunLog::FileWritten(const QString& path, std::int64_t size)
{
    Write(QStringLiteral("wrote %1 (%2 bytes)").arg(path).arg(size));
}

void CRunLog::RegistryWritten(const QString& key, const QString& valueName)
{
    Write(QStringLiteral("registry set %1 [%2]")
              .arg(key, valueName.isEmpty() ? QStringLiteral("@") : valueName));
}

void CRunLog::RegistryDeleted(const QString& key)
{
    Write(QStringLiteral("registry deleted %1").arg(key));
}

void CRunLog::DesktopEntryWritten(const QString& path)
{
    Write(QStringLiteral("desktop entry %1").arg(path));
}

void CRunLog::Removed(const QString& path)
{
    Write(QStringLiteral("removed %1").arg(path));
}

void CRunLog::Failed(const QString& reason)
{
    Write(QStringLiteral("failed: %1").arg(reason));
}
