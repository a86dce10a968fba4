#include "engine/InstallEngine.h"

#include "database/InstallCabDB.h"

#include <QFile>

CInstallEngine::CInstallEngine() = default;

CInstallEngine::~CInstallEngine()
{
    if (PackageIsTemporary && !PackagePath.isEmpty())
        QFile::remove(PackagePath);
}

CInstallCabDB& CInstallEngine::PackageReader(CInstallCabDB& single)
{
    CInstallCabDB& package = m_openPackage ? *m_openPackage : single;
    package.SetPackageRange(PackageOffset, PackageSize);
    return package;
}

bool CInstallEngine::ExtractPackageFile(const QString& name, const QString& targetPath, bool pump,
                                        int* outLength)
{
    CInstallCabDB single;
    CInstallCabDB& package = PackageReader(single);
    int length = 0;
    int* lengthOut = outLength ? outLength : &length;
    if (!package.ExtractFile(name, targetPath, PackagePath, pump, lengthOut))
        return Fail(package.ExtractFailure());
    Log.FileWritten(targetPath, *lengthOut);
    return true;
}

bool CInstallEngine::InstalledFileIsCurrent(const QString& name, const QString& targetPath, int* outLength)
{
    CInstallCabDB single;
    CInstallCabDB& package = PackageReader(single);
    int length = 0;
    if (!package.TargetIsCurrent(name, targetPath, PackagePath, true, &length))
        return false;
    Log.Write(QStringLiteral("already in place: %1 (%2 bytes)").arg(targetPath).arg(length));
    if (outLength)
        *outLength = length;
    return true;
}
