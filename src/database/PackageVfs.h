// A read-only SQLite VFS for packages: the database is a file, or a byte range
// of a file (a package attached to the end of an executable), read in place.
// The bytes are taken as unchanging for the life of a connection, so SQLite
// takes no locks and looks for no journal, and sequential reads are served from
// a growing read-ahead window instead of one system call per page.
#pragma once

#include "database/PackageSource.h"

#include <QByteArray>

namespace DATABASE {

// The VFS name for sqlite3_open_v2 (registered on first call, never the default).
const char* PackageVfsName();

// The URI that opens the package's bytes through the VFS, for sqlite3_open_v2
// with SQLITE_OPEN_READONLY | SQLITE_OPEN_URI. A range that does not lie
// inside the file fails to open.
QByteArray PackageVfsUri(const PackageSource& package);

}  // namespace DATABASE
