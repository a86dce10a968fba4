#include "engine/InstallEngine.h"

#include "database/InstallCabDB.h"

#include <QFile>

CInstallEngine::CInstallEngine() : m_package(std::make_unique<CInstallCabDB>()) {}

CInstallEngine::~CInstallEngine()
{
    if (PackageIsTemporary && !Package.IsEmpty())
        QFile::remove(Package.path);
}

bool CInstallEngine::ExtractPackageFile(const QString& name, const QString& targetPath, bool pump,
                                        int* outLength)
{
    int length = 0;
    int* lengthOut = outLength ? outLength : &length;
    if (!m_package->ExtractFile(name, targetPath, Package, pump, lengthOut))
        return Fail(m_package->ExtractFailure());
    Log.FileWritten(targetPath, *lengthOut);
    return true;
}

bool CInstallEngine::InstalledFileIsCurrent(const QString& name, const QString& targetPath, int* outLength)
{
    int length = 0;
    if (!m_package->TargetIsCurrent(name, targetPath, Package, true, &length))
        return false;
    Log.Write(QStringLiteral("already in place: %1 (%2 bytes)").arg(targetPath).arg(length));
    if (outLength)
        *outLength = length;
    return true;
}
