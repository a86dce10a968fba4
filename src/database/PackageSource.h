// Where a package's bytes are: a whole file, or a byte range of one (a
// package attached to the end of an executable, read in place).
#pragma once

#include <QString>
#include <QtGlobal>

namespace DATABASE {

struct PackageSource {
    QString path;  // empty: no package (the removal modes)
    qint64 offset = 0;
    qint64 size = -1;  // -1: to the end of the file

    bool IsEmpty() const { return path.isEmpty(); }
    // A range of a larger file rather than a file of its own.
    bool IsRange() const { return size >= 0; }
    bool operator==(const PackageSource&) const = default;
};

}  // namespace DATABASE
