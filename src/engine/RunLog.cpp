#include "engine/RunLog.h"

#include "common/Failure.h"
#include "common/MessageTable.h"

#include <QDateTime>

#include <cerrno>
#include <cstdio>

CRunLog::~CRunLog()
{
    Close();
}

bool CRunLog::Open(const QString& path, QString* error)
{
    Close();
    PLATFORM::CFileHandle file = PLATFORM::OpenForAppending(path, 0644);
    if (!file.IsOpen()) {
        if (error)
            *error = CFailure::FromErrno(GetTextString(TEXT::CannotOpenLog), path, errno).Text();
        return false;
    }
    m_file = std::move(file);
    m_path = path;
    return true;
}

void CRunLog::Close()
{
    m_file.Close();
}

void CRunLog::Write(const QString& text)
{
    if (!m_file.IsOpen())
        return;
    const QString stamp = QDateTime::currentDateTime()
                              .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                              .toString(Qt::ISODateWithMs);
    // One write per line: lines of runs sharing a log stay whole.
    const QByteArray line = (stamp + u' ' + text).toUtf8() + '\n';
    const int failed = m_file.WriteAll(line.constData(), size_t(line.size()));
    if (failed == 0)
        return;
    const QString reason = CFailure::FromErrno(GetTextString(TEXT::CannotWriteLog), m_path, failed).Text();
    Close();
    if (OnWriteFailure) {
        OnWriteFailure(reason);
    } else {
        const QByteArray bytes = reason.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
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
