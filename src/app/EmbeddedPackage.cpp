#include "app/EmbeddedPackage.h"

#include "common/FileHelpers.h"
#include "common/MD5Encode.h"
#include "engine/InstallEngine.h"
#include "platform/FileWriter.h"
#include "platform/TempFiles.h"
#include "resources/TemplatePair.h"

#include <QFile>

#include <algorithm>
#include <system_error>

namespace {

// Small enough that a thread waiting for the other to finish its chunk waits
// briefly; big enough that reads cost little.
constexpr qint64 kDigestChunk = qint64(256) << 10;
// How much the making thread hashes at most while the worker is not yet
// scheduled: it has its own start-up to go on with.
constexpr int kLeadChunks = 16;

// The prefetch the package check may take its digest from.
CPackageDigestPrefetch* g_prefetch = nullptr;

}  // namespace

CEmbeddedPackage::CEmbeddedPackage(const QString& executablePath)
{
    if (m_resources.Open(executablePath)) {
        m_attached = m_resources.Find(ResourceType(), kPackageId, kAttachedLanguage) != nullptr
            || m_resources.Find(ResourceType(), kDigestId, kAttachedLanguage) != nullptr;
    }
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
    // A damaged attached directory is a damaged installer: no setup.cab
    // beside it stands in.
    if (m_resources.Damaged())
        return Status::DamagedResources;
    const QString digest = ReadDigestText();
    if (digest == QLatin1String(PACKAGE_RESOURCES::kNoPackageMarker)) {
        // A bare template: the package is a file beside it, read in place.
        engine.Package = {engine.ModuleFolder + QStringLiteral("setup.cab")};
        if (!FileExists(engine.Package.path))
            return Status::NoSetupCab;
    } else {
        // The attached package is read in place inside the executable, once
        // its bytes match the digest text; nothing is copied out. The stored
        // text is lower case; anything else, a truncated text included, is a
        // mismatch.
        const PLATFORM::ResourceEntry* entry = Find(kPackageId);
        if (!entry)
            return Status::PackageNotWritten;
        const qint64 offset = qint64(entry->offset);
        const qint64 size = qint64(entry->size);
        QString computed = CPackageDigestPrefetch::Lookup(m_resources.Path(), offset, size);
        if (computed.isEmpty())
            computed = GetMD5OfFileRange(m_resources.Path(), offset, size);
        computed = computed.toLower();
        if (computed.isEmpty() || computed != digest)
            return Status::DigestMismatch;
        engine.Package = {m_resources.Path(), offset, size};
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

CPackageDigestPrefetch::CPackageDigestPrefetch(const QString& executablePath)
{
    if (g_prefetch)
        return;
    PLATFORM::CExecutableResources resources;
    if (!resources.Open(executablePath))
        return;
    const PLATFORM::ResourceEntry* entry = resources.Find(
        CEmbeddedPackage::ResourceType(), CEmbeddedPackage::kPackageId, CEmbeddedPackage::kAttachedLanguage);
    if (!entry)
        return;
    m_file = PLATFORM::OpenForReading(executablePath);
    if (!m_file.IsOpen())
        return;
    // The identity of the very file read, so a replaced file is noticed.
    if (m_file.Identify(&m_identity) != 0)
        return;
    m_path = executablePath;
    m_offset = qint64(entry->offset);
    m_size = qint64(entry->size);
    m_md5 = std::make_unique<GLOBAL::CMD5Encode>();
    m_buffer.reset(new unsigned char[kDigestChunk]);
    m_file.AdviseSequential(m_offset, m_size);
    try {
        m_worker = std::thread([this] {
            m_workerRuns = true;
            HashWhile([this] { return !m_askerTakesOver.load(std::memory_order_acquire); });
        });
    } catch (const std::system_error&) {
        return;  // no thread to spare: the check computes it itself
    }
    g_prefetch = this;
    // Until the worker is scheduled, or for a bounded lead at most, the digest
    // goes on here.
    int lead = kLeadChunks;
    HashWhile([this, &lead] { return !m_workerRuns.load(std::memory_order_acquire) && lead-- > 0; });
}

CPackageDigestPrefetch::~CPackageDigestPrefetch()
{
    if (g_prefetch == this)
        g_prefetch = nullptr;
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    m_file.Close();
}

bool CPackageDigestPrefetch::HashNextChunk()
{
    if (m_failed || m_done >= m_size || m_stop.load(std::memory_order_relaxed))
        return false;
    const qint64 n = HashDescriptorChunk(*m_md5, m_file.Descriptor(), m_offset + m_done,
                                         std::min<qint64>(kDigestChunk, m_size - m_done), m_buffer.get());
    if (n <= 0) {
        m_failed = true;  // the file ends early, or cannot be read
        return false;
    }
    m_done += n;
    if (m_done < m_size)
        return true;
    unsigned char digest[16];
    m_md5->Final(digest);
    m_digest = DigestText(digest);
    return false;
}

template <typename More>
void CPackageDigestPrefetch::HashWhile(More more)
{
    while (more()) {
        // The other thread holds the lock for one chunk at most; waiting for
        // it by sleeping would cost a wake-up, which is longer.
        while (!m_chunkLock.try_lock())
            std::this_thread::yield();
        const bool remains = HashNextChunk();
        m_chunkLock.unlock();
        if (!remains)
            return;
    }
}

QString CPackageDigestPrefetch::Lookup(const QString& path, qint64 offset, qint64 size)
{
    CPackageDigestPrefetch* prefetch = g_prefetch;
    if (!prefetch || prefetch->m_path != path || prefetch->m_offset != offset || prefetch->m_size != size)
        return {};
    // The rest is hashed here; the worker stops after its current chunk.
    prefetch->m_askerTakesOver = true;
    prefetch->HashWhile([] { return true; });
    if (prefetch->m_worker.joinable())
        prefetch->m_worker.join();
    PLATFORM::FileIdentity now;
    if (PLATFORM::IdentifyPath(path, &now) != 0 || !PLATFORM::UnchangedSince(prefetch->m_identity, now))
        return {};
    const std::lock_guard<std::mutex> lock(prefetch->m_chunkLock);
    return prefetch->m_digest;
}
