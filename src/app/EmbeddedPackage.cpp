#include "app/EmbeddedPackage.h"

#include "common/FileHelpers.h"
#include "common/MD5Encode.h"
#include "engine/InstallEngine.h"
#include "platform/FileWriter.h"
#include "platform/TempFiles.h"
#include "resources/TemplatePair.h"

#include <QFile>

CEmbeddedPackage::CEmbeddedPackage(const QString& executablePath)
{
    if (m_resources.Open(executablePath)) {
        m_attached = m_resources.Find(ResourceType(), kPackageId, kAttachedLanguage) != nullptr
            || m_resources.Find(ResourceType(), kDigestId, kAttachedLanguage) != nullptr;
    }
    m_damaged = m_resources.Damaged();
}

const PLATFORM::ResourceEntry* CEmbeddedPackage::Find(quint32 id) const
{
    return m_attached ? m_resources.Find(ResourceType(), id, kAttachedLanguage) : nullptr;
}

QByteArray CEmbeddedPackage::TemplateBytes(quint32 id)
{
    if (id == kPackageId)
        return QByteArray::fromRawData(reinterpret_cast<const char*>(kTemplatePackage),
                                       qsizetype(kTemplatePackageSize));
    if (id == kDigestId)
        return QByteArray::fromRawData(kTemplateDigest, qsizetype(kTemplateDigestSize));
    return {};
}

QString CEmbeddedPackage::ReadDigestText() const
{
    QByteArray bytes;
    if (m_attached) {
        const PLATFORM::ResourceEntry* entry = Find(kDigestId);
        // The text is tiny; anything larger is not a digest and is not loaded.
        if (!entry || entry->size > 1024 || !m_resources.Load(*entry, bytes))
            return {};
    } else {
        bytes = TemplateBytes(kDigestId);
    }
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

bool CEmbeddedPackage::WritePackageToFile(const QString& path) const
{
    if (m_attached) {
        const PLATFORM::ResourceEntry* entry = Find(kPackageId);
        return entry && m_resources.SaveToFile(*entry, path);
    }
    // A working file of this run, kept private like the attached one.
    PLATFORM::FileWriteOptions options;
    options.exactMode = 0600;
    return PLATFORM::WriteFileInPlace(path, TemplateBytes(kPackageId), options);
}

CEmbeddedPackage::Status CEmbeddedPackage::LocateAndLoad(CInstallEngine& engine) const
{
    if (m_damaged)
        return Status::DamagedResources;
    const QString digest = ReadDigestText();
    if (digest == QLatin1String(PACKAGE_RESOURCES::kNoPackageMarker)) {
        // A bare template: the package is a file beside it, read in place.
        engine.PackagePath = engine.ModuleFolder + QStringLiteral("setup.cab");
        if (!FileExists(engine.PackagePath))
            return Status::NoSetupCab;
    } else {
        // The attached package is read in place inside the executable, once
        // its bytes match the digest text; nothing is copied out. The stored
        // text is lower case; anything else, a truncated text included, is a
        // mismatch.
        const PLATFORM::ResourceEntry* entry = Find(kPackageId);
        if (!entry)
            return Status::PackageNotWritten;
        const QString computed =
            GetMD5OfFileRange(m_resources.Path(), qint64(entry->offset), qint64(entry->size)).toLower();
        if (computed.isEmpty() || computed != digest)
            return Status::DigestMismatch;
        engine.PackagePath = m_resources.Path();
        engine.PackageOffset = qint64(entry->offset);
        engine.PackageSize = qint64(entry->size);
    }

    const QString manifestPath = CreateTempFileName(QStringLiteral("INI"));
    if (manifestPath.isEmpty())
        return Status::NoTemporaryFile;
    if (!engine.ExtractPackageFile(QStringLiteral("Install.xml"), manifestPath, false, nullptr)) {
        QFile::remove(manifestPath);
        return Status::ManifestNotExtracted;
    }
    const bool loaded = engine.Manifest.Load(manifestPath);
    QFile::remove(manifestPath);
    return loaded ? Status::Ok : Status::ManifestNotLoaded;
}
