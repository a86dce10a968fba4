// Small file-system helpers shared by the installer. Paths use '/'; a folder
// path may or may not end with '/', as each helper says.
#pragma once

#include "common/Failure.h"

#include <QByteArray>
#include <QString>

// The path as the system takes it (QFile's encoding).
QByteArray NativePath(const QString& path);

// True when every folder up to the last '/' of the path exists afterwards (or
// the path is empty or already a folder). A folder path must end with '/' to
// be created itself.
bool CreateDirectoryTree(const QString& path);
// The same, telling which folder could not be created and why (failure may be null).
bool CreateDirectoryTree(const QString& path, CFailure* failure);

// Deletes the folder and everything in it; never follows symbolic links (a
// link, the given folder included, is removed as a link). Whatever cannot be
// deleted stays; the root folder is never emptied. Always true.
bool DeleteDirectoryTree(const QString& folder);

// True when the text names exactly one thing inside a folder or key: not
// empty, not "." or "..", without '/', '\\' or control characters. Product,
// file and link names are joined to folders that steps later delete, so an
// empty or climbing name must never widen what is touched.
bool IsSingleName(const QString& name);

// A manifest's file name as a path below its folder: '\\' (manifests written
// on Windows) and '/' both separate, and every component must be a single
// name. The '/' form, or empty when the name is refused.
QString RelativeFileName(const QString& name);

// The folder with exactly one final '/' ("/" for the root): folder values
// keep that form, and macro expansion and file paths rely on it.
QString WithOneSlash(QString folder);
// The counterpart: the path without its final '/'s ("/" for the root), the
// form of a folder compared or walked upwards component by component.
QString WithoutFinalSlash(QString path);
// The folder holding path, without its final '/' ("/" for what is at the top).
QString ParentFolder(const QString& path);

// Something exists at the path and it is not a folder. A link answers for its
// target; a dangling link counts as a file.
bool FileExists(const QString& path);
