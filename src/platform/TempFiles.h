// The private per-user temporary folder and the files created in it.
#pragma once

#include <QRegularExpression>
#include <QString>

// The private per-user temporary folder, ending with '/'; empty when it is
// unusable (a link, someone else's, not creatable).
QString GetTempDirectory();

// A new, empty file "<first 3 chars of prefix>XXXXXX.tmp" in the temporary
// folder, created exclusively and held locked until the process ends. Empty
// when none could be created.
QString CreateTempFileName(const QString& prefix);

// Removes the temporary files of runs that ended without cleaning up (killed,
// power loss): files of that name form whose lock no live process holds.
void RemoveStaleTempFiles();

// The sweep behind RemoveStaleTempFiles, for any folder whose writers hold a
// lock on their files while they live: removes this user's regular files in
// folder whose names match and whose lock is free. How many went.
int RemoveUnlockedFiles(const QString& folder, const QRegularExpression& names);
