// The run's state record: paths, run mode, install locations, the previous
// installation and the loaded manifest. The engine operations are its members.
#pragma once

#include "app/RunMode.h"
#include "manifest/InstallInfo.h"

#include <QString>

class CInstallEngine {
public:
    CInstallEngine();
    CInstallEngine(const CInstallEngine&) = delete;
    CInstallEngine& operator=(const CInstallEngine&) = delete;
    // Deletes the package file when it is a temporary one.
    virtual ~CInstallEngine();

    // Extracts one package entry from PackagePath to targetPath (see
    // CInstallCabDB::ExtractFile); outLength may be null.
    bool ExtractPackageFile(const QString& name, const QString& targetPath, bool pump,
                            int* outLength);

    QString ModulePath;
    QString ModuleFolder;  // ends with '/'
    QString PackagePath;   // empty in the removal modes
    bool PackageIsTemporary = false;
    RunMode Mode = RunMode::Install;
    QString ProductKey;  // "Software\Tessaly\<info.prog>"
    QString PreviousInstallPath;
    QString PreviousVersion;
    bool PreviousInstallFound = false;
    QString InstallFolder;  // ends with '/'
    QString AppDataFolder;  // ends with '/'
    CInstallInfo Manifest;
};
