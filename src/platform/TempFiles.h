// The private per-user temporary folder and the files created in it.
#pragma once

#include <QString>

// The private per-user temporary folder, ending with '/'; empty when it is
// unusable (a link, someone else's, not creatable).
QString GetTempDirectory();

// A new, empty file "<first 3 chars of prefix>XXXXXX.tmp" in the temporary
// folder, created exclusively. Empty when none could be created.
QString CreateTempFileName(const QString& prefix);
