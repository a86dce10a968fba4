// Test sandbox: each test process runs with NORVEX_ROOT set to a fresh folder,
// so nothing a test does reaches the real home, /opt, /etc or /var.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

namespace TESTS {

// Creates the process's sandbox root and points NORVEX_ROOT (and HOME) at it.
void InitSandbox();
// Removes the sandbox root unless NORVEX_KEEP_SANDBOX is set.
void CleanupSandbox();

// The sandbox root, without a final '/'.
QString SandboxRoot();
// A path inside the sandbox root; rel must not start with '/'.
QString SandboxPath(const QString& rel);
// A file of the interop fixtures (tests/fixtures/<rel>).
QString FixturePath(const QString& rel);
// A writable copy of the fixture file rel at target (a path inside the
// sandbox root when relative); fails the calling test on error.
QString CopyFixture(const QString& rel, const QString& target);
// A file kept with the tests (tests/<rel>).
QString TestDataPath(const QString& rel);

QByteArray ReadFileBytes(const QString& path);
// Writes bytes, creating missing folders; fails the calling test on error.
void WriteFileBytes(const QString& path, const QByteArray& bytes);
// Every entry below the folder, links not followed, as sorted relative paths.
QStringList Listing(const QString& folder);

}  // namespace TESTS

// Readable QString values in GoogleTest failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& b, std::ostream* os)
{
    *os << "QByteArray(" << b.size() << " bytes: " << b.left(64).toHex(' ').toStdString()
        << (b.size() > 64 ? " ...)" : ")");
}
QT_END_NAMESPACE
