#include "engine/InstallEngine.h"

#include "database/InstallCabDB.h"

#include <QFile>

CInstallEngine::CInstallEngine() = default;

CInstallEngine::~CInstallEngine()
{
    if (PackageIsTemporary && !PackagePath.isEmpty())
        QFile::remove(PackagePath);
}

bool CInstallEngine::ExtractPackageFile(const QString& name, const QString& targetPath, bool pump,
                                        int* outLength)
{
    CInstallCabDB package;
    return package.ExtractFile(name, targetPath, PackagePath, pump, outLength);
}
