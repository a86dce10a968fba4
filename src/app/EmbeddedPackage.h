// The package an installer carries: found among the executable's resources
// (type "RT_INSTALL", id 131 the package, id 132 the lower-case MD5 text of
// it), written out to a temporary file and checked, or "setup.cab" beside an
// executable that carries none. Then Install.xml is loaded from it.
#pragma once

#include "database/PackageResources.h"
#include "platform/ExecutableResources.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace GLOBAL {
class CMD5Encode;
}

class CInstallEngine;

class CEmbeddedPackage {
public:
    static constexpr quint32 kPackageId = PACKAGE_RESOURCES::kPackageId;
    static constexpr quint32 kDigestId = PACKAGE_RESOURCES::kDigestId;
    static constexpr quint16 kAttachedLanguage = PACKAGE_RESOURCES::kAttachedLanguage;
    static constexpr quint16 kTemplateLanguage = PACKAGE_RESOURCES::kTemplateLanguage;
    static QString ResourceType() { return PACKAGE_RESOURCES::ResourceType(); }

    enum class Status {
        Ok,
        DamagedResources,      // the attached directory is there but not sound
        NoSetupCab,            // marker digest and no file "setup.cab" beside the executable
        NoTemporaryFile,       // the temporary folder refused a new file
        PackageNotWritten,     // resource missing or the temporary file not fully written
        DigestMismatch,        // written package differs from the digest text
        ManifestNotExtracted,  // no sound "Install.xml" entry
        ManifestNotLoaded,     // "Install.xml" is not a manifest
    };

    // Reads the attached resources of the executable file; the running
    // program's own file by default.
    explicit CEmbeddedPackage(const QString& executablePath = QStringLiteral("/proc/self/exe"));

    // True when the executable has an attached package or digest (language 0).
    // Then both come from the attached pair, a missing member included, so a
    // package never meets the other pair's digest.
    bool HasAttachedPair() const { return m_attached; }

    // Resource 132 up to its first zero byte, as text; empty when missing.
    QString ReadDigestText() const;
    // Resource 131 written to path (created or truncated). False when the
    // resource is missing or the file could not be written completely.
    bool WritePackageToFile(const QString& path) const;

    // Start-up's package step, on the engine (reads ModuleFolder): sets
    // Package and PackageIsTemporary, checks the package and loads
    // Install.xml into the engine's Manifest. A temporary package is marked
    // temporary before anything is written, so the engine deletes it in every
    // case; the temporary copy of Install.xml never outlives this call.
    Status LocateAndLoad(CInstallEngine& engine) const;

private:
    const PLATFORM::ResourceEntry* Find(quint32 id) const;
    // The compiled-in template copy of a resource.
    static QByteArray TemplateBytes(quint32 id);

    PLATFORM::CExecutableResources m_resources;
    bool m_attached = false;
};

// Works out the MD5 of an executable's attached package on a thread of its
// own, so that the check at start-up need not wait for it while the toolkit
// starts. While it lives, the check takes its result for the same path and
// range of the same unchanged file. One at a time, made, asked and destroyed
// on one thread.
// The digest is one run of chunks that either thread may carry on, one chunk
// at a time: a new thread can take a millisecond or more to be scheduled,
// and a sleeping one as long to be woken. So the making thread hashes until
// the worker runs, and the asking thread takes the rest back instead of
// sleeping until the worker has finished.
class CPackageDigestPrefetch {
public:
    // Starts only when the file carries an attached package.
    explicit CPackageDigestPrefetch(const QString& executablePath = QStringLiteral("/proc/self/exe"));
    // Stops the computation early and waits for its thread.
    ~CPackageDigestPrefetch();
    CPackageDigestPrefetch(const CPackageDigestPrefetch&) = delete;
    CPackageDigestPrefetch& operator=(const CPackageDigestPrefetch&) = delete;

    // The upper-case digest worked out for exactly this path and range, when
    // the file at path is still the one read (device, inode, size and
    // modification time as when the computation started); else empty. Waits
    // for the computation to end.
    static QString Lookup(const QString& path, qint64 offset, qint64 size);

private:
    // Hashes the next chunk; false when there is none (finished, failed or
    // stopped). Only with m_chunkLock held.
    bool HashNextChunk();
    // Hashes chunks on the calling thread while more is true and chunks remain.
    template <typename More>
    void HashWhile(More more);

    QString m_path;
    qint64 m_offset = -1;
    qint64 m_size = -1;
    PLATFORM::FileIdentity m_identity;
    PLATFORM::CFileHandle m_file;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_workerRuns{false};
    std::atomic<bool> m_askerTakesOver{false};
    // Held by whichever thread hashes a chunk; guards what follows.
    std::mutex m_chunkLock;
    std::unique_ptr<GLOBAL::CMD5Encode> m_md5;
    std::unique_ptr<unsigned char[]> m_buffer;
    qint64 m_done = 0;
    bool m_failed = false;
    QString m_digest;  // set with the last chunk
    std::thread m_worker;
};
