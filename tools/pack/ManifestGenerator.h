// norvex-pack init: an install manifest listing every file of a folder, the
// installer's template as uninstall.exe, a main-program link and an
// uninstall link, and nothing else.
#pragma once

#include "manifest/InstallInfo.h"

#include <QString>
#include <QStringList>

struct ManifestInitOptions {
    QString sourceFolder;
    QString prog;     // info.prog: folder and key name
    QString title;    // version.prog: the name people see
    QString version;  // version.ver
    QString company;
    QString helpUrl;
    // The main program, relative to sourceFolder with '/'; empty: the only
    // executable at the top of the folder, if there is exactly one.
    QString mainPath;
    // The pack name that build resolves to the template executable.
    QString templatePack = QStringLiteral("norvexsetup");
};

class CManifestGenerator {
public:
    // Fills manifest from the folder, files sorted by folder then name. False
    // when anything is refused; problems then lists every refused name and
    // option, one line each, and manifest is not to be used. warnings gets
    // what the user should know but does not stop the manifest (no main
    // program found).
    static bool Generate(const ManifestInitOptions& options, CInstallInfo& manifest, QStringList& problems,
                         QStringList& warnings);

    // Why one path component cannot be a name in a manifest (empty, ".",
    // "..", holding '/' or '\', a control character, a path macro, or bytes
    // that are not UTF-8); empty when it can.
    static QString NameProblem(const QString& name);
    // The same for option texts that land in the manifest (control characters).
    static QString TextProblem(const QString& text);
};
