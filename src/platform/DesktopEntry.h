// Launcher entries: freedesktop desktop entry files stand in for Windows shell
// links (.lnk). A link path names the entry: a final ".lnk" (any case) becomes
// ".desktop", any other name gets ".desktop" appended.
#pragma once

#include "common/Failure.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace PLATFORM {

// What a shell link carries.
struct DesktopEntry {
    QString target;       // the program to start (required)
    QString arguments;    // one command-line text, e.g. "-autostart"; see SplitArguments
    QString description;  // shown as the entry's tooltip (Comment)
    QString icon;         // optional icon file or theme name
};

// True when text holds a C0 control character or DEL.
bool HasControlCharacters(const QString& text);

// The desktop entry file that stands for a link file path.
QString DesktopEntryPath(const QString& linkPath);

// The label the entry shows (Name): the link's file name without ".lnk".
QString DesktopEntryName(const QString& linkPath);

// Splits a link's argument text into arguments the way a command line is read:
// blanks separate, double quotes group, three double quotes stand for one
// literal quote (QProcess::splitCommand).
QStringList SplitArguments(const QString& arguments);

// One argument quoted by the Desktop Entry Exec rules: left bare when it holds
// no reserved character, else in double quotes with " ` $ \ escaped; every
// '%' is doubled. The result still needs string escaping (EscapeValue).
QString QuoteExecArgument(const QString& argument);

// The Exec value (before string escaping) for a target and its argument text.
QString FormatExec(const QString& target, const QString& arguments);

// Inverse of FormatExec: the program and its arguments, or nothing when the
// value is malformed (open quote, bad escape, field code).
std::optional<QStringList> SplitExec(const QString& exec);

// String-type escaping of a key's value (\\, \n, \t, \r, leading blank as \s)
// and its inverse. Other control characters (C0 and DEL) have no escape and
// are dropped, so a name or comment never carries them raw.
QString EscapeValue(const QString& value);
QString UnescapeValue(const QString& value);

// Writes the entry for linkPath into place (see FileWriter.h), replacing an
// existing one. Mode exactly 0755 when executable is set (desktop copies are
// trusted that way), else 0644. The folder must exist. False when the target
// is empty or the file cannot be written, with the reason in failure (may be
// null); an existing entry is then left as it was.
bool WriteDesktopEntry(const QString& linkPath, const DesktopEntry& entry, bool executable = false,
                       CFailure* failure = nullptr);

// Deletes the entry for linkPath. True when it is gone afterwards (also when
// it never existed).
bool RemoveDesktopEntry(const QString& linkPath);

// The unescaped key values of the [Desktop Entry] group of an entry file
// (the file's own path, not a link path); nothing when it cannot be read or
// has no such group.
std::optional<QMap<QString, QString>> ReadDesktopEntryFile(const QString& path);

}  // namespace PLATFORM
