// What an installer run left on the machine, to compare before and after:
// every file (by content) and folder below the sandbox root, and the
// registry as `norvex-reg export` prints it.
#pragma once

#include "SampleRuns.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <map>

namespace E2E {

// Path below the root -> "folder", "link -> target" or the file's MD5. The
// test's own places (installers being built, downloads, the temporary
// folder, logs) are left out, and the hive files, whose bytes change with
// any write: the registry is compared by its export.
inline std::map<QString, QString> SandboxFiles()
{
    std::map<QString, QString> files;
    const QString root = TESTS::SandboxRoot();
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (rel.startsWith(QStringLiteral("build")) || rel.startsWith(QStringLiteral("Downloads"))
            || rel == QStringLiteral("tmp") || rel.startsWith(QStringLiteral("tmp/"))
            || rel.endsWith(QStringLiteral(".log")) || rel.contains(QStringLiteral("norvex/registry/")))
            continue;
        const QFileInfo info(path);
        if (info.isSymLink())
            files[rel] = QStringLiteral("link -> ") + info.symLinkTarget();
        else if (info.isDir())
            files[rel] = QStringLiteral("folder");
        else
            files[rel] = QString::fromLatin1(
                QCryptographicHash::hash(TESTS::ReadFileBytes(path), QCryptographicHash::Md5).toHex());
    }
    return files;
}

inline QString Describe(const std::map<QString, QString>& files)
{
    QString text;
    for (const auto& [path, what] : files)
        text += path + QStringLiteral(": ") + what + u'\n';
    return text;
}

// HKCU and HKLM (HKCR lies in HKLM) exported (a root without a hive exports as nothing).
inline QString RegistryExport()
{
    QString text;
    for (const char* root : {"HKCU", "HKLM"})
        text +=
            RunProgram(QStringLiteral(NORVEX_REG_EXE), {QStringLiteral("export"), QString::fromLatin1(root)})
                .out.join(u'\n')
            + u'\n';
    return text;
}

}  // namespace E2E
