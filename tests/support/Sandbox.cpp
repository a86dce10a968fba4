#include "Sandbox.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace TESTS {
namespace {
QString g_root;
}

void InitSandbox()
{
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/norvex-test-XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_root = QString::fromStdString(tmpl);
    QDir().mkpath(g_root + "/home");
    setenv("NORVEX_ROOT", tmpl.c_str(), 1);
    setenv("HOME", (tmpl + "/home").c_str(), 1);
    // The scope follows the user running the tests unless a test sets it.
    unsetenv("NORVEX_SCOPE");
}

void CleanupSandbox()
{
    if (g_root.isEmpty() || std::getenv("NORVEX_KEEP_SANDBOX"))
        return;
    // Make read-only folders left by permission tests removable again.
    const std::string cmd =
        "chmod -R u+rwx '" + g_root.toStdString() + "' 2>/dev/null; rm -rf '" + g_root.toStdString() + "'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "sandbox %s not removed\n", qPrintable(g_root));
}

QString SandboxRoot()
{
    return g_root;
}

QString SandboxPath(const QString& rel)
{
    return g_root + '/' + rel;
}

QString FixturePath(const QString& rel)
{
    return QFileInfo(QStringLiteral(NORVEX_FIXTURES_DIR "/") + rel).absoluteFilePath();
}

QString CopyFixture(const QString& rel, const QString& target)
{
    const QString path = target.startsWith(u'/') ? target : SandboxPath(target);
    WriteFileBytes(path, ReadFileBytes(FixturePath(rel)));
    return path;
}

QString TestDataPath(const QString& rel)
{
    return QStringLiteral(NORVEX_TEST_DATA_DIR "/") + rel;
}

QByteArray ReadFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

QStringList Listing(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

}  // namespace TESTS
