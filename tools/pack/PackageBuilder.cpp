#include "pack/PackageBuilder.h"

#include "common/FileHelpers.h"
#include "manifest/InstallInfo.h"
#include "manifest/XmlFileBase.h"
#include "pack/PackageWriter.h"
#include "platform/ExecutableResources.h"
#include "platform/FileSystem.h"
#include "platform/FileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <future>
#include <optional>
#include <thread>
#include <vector>

namespace {

const QString kManifestName = QStringLiteral("Install.xml");
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

struct FileEntry {
    QString name;
    QString ver;
    QString path;
    QString pack;
    QString action;
    QString source;  // file to read
    bool isTemplate = false;
    qint64 size = 0;
    qint64 mtime = 0;
};

bool Fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString Attribute(const BASE::CXmlNode& node, const char* name)
{
    QString value;
    node.Attributes().Lookup(QString::fromLatin1(name), value);
    return value;
}

int CollectFileEntries(void* context, BASE::CXmlNode root)
{
    auto* entries = static_cast<std::vector<FileEntry>*>(context);
    const BASE::CXmlNode files = root.SelectChild(QStringLiteral("files"));
    if (files.IsNull())
        return 0;
    for (const BASE::CXmlNode& node : files.ChildNodes()) {
        if (!node.IsElement())
            continue;
        FileEntry entry;
        entry.name = Attribute(node, "name");
        entry.ver = Attribute(node, "ver");
        entry.path = Attribute(node, "path");
        entry.pack = Attribute(node, "pack");
        entry.action = Attribute(node, "action");
        entries->push_back(entry);
    }
    return 0;
}

bool StatFile(const QString& path, qint64& size, qint64& mtime)
{
    PLATFORM::FileIdentity st;
    if (PLATFORM::IdentifyPath(path, &st) != 0 || !st.IsFile())
        return false;
    size = st.size;
    mtime = st.modifiedSeconds;
    return true;
}

bool ReadFile(const QString& path, qint64 limit, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = limit >= 0 ? file.read(limit) : file.readAll();
    return file.error() == QFileDevice::NoError;
}

}  // namespace

bool CPackageBuilder::Build(const PackageBuildOptions& options, QString* error, PackageBuildSummary* summary)
{
    if (options.level < 0 || options.level > 9)
        return Fail(error, QStringLiteral("compression level must be 0 to 9"));

    // The manifest: UTF-8, with its byte-order mark in the package.
    QByteArray manifest;
    qint64 manifestSize = 0;
    qint64 manifestTime = 0;
    if (!StatFile(options.manifestPath, manifestSize, manifestTime)
        || !ReadFile(options.manifestPath, -1, manifest))
        return Fail(error, QStringLiteral("cannot read manifest %1").arg(options.manifestPath));
    if (manifest.startsWith("\xFF\xFE") || manifest.startsWith("\xFE\xFF"))
        return Fail(error, QStringLiteral("manifest %1 is not UTF-8").arg(options.manifestPath));
    if (!manifest.startsWith(kUtf8Bom))
        manifest.prepend(kUtf8Bom);
    {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(manifest);
        if (decoder.hasError())
            return Fail(error, QStringLiteral("manifest %1 is not UTF-8").arg(options.manifestPath));
    }
    CInstallInfo info;
    std::vector<FileEntry> entries;
    BASE::CXmlFileBase reader;
    if (!info.Load(options.manifestPath) || !reader.Load(options.manifestPath, CollectFileEntries, &entries))
        return Fail(error, QStringLiteral("manifest %1 cannot be read").arg(options.manifestPath));
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        const long long value = std::strtoll(epoch, &end, 10);
        if (*end != '\0' || value < 0)
            return Fail(error, QStringLiteral("SOURCE_DATE_EPOCH is not a number of seconds"));
        manifestTime = value;
    }

    // Names and sources, every problem found before anything is written.
    const QString templateName =
        options.templatePath.isEmpty() ? QString() : QFileInfo(options.templatePath).fileName();
    QSet<QString> seen{kManifestName};
    QStringList duplicates;
    QStringList unusable;
    QStringList missing;
    for (FileEntry& entry : entries) {
        // Names become paths below their folder by the installer's own rule;
        // so "bin\a.dll" and "bin/a.dll" would install over each other.
        const QString installedAs = RelativeFileName(entry.name);
        if (installedAs.isEmpty())
            unusable << (entry.name.isEmpty() ? QStringLiteral("(empty)") : entry.name);
        else if (seen.contains(installedAs))
            duplicates << entry.name;
        seen.insert(installedAs);

        const QString pack = entry.pack.isEmpty() ? entry.name : entry.pack;
        entry.pack = pack;
        entry.isTemplate =
            !options.templatePath.isEmpty() && (pack == templateName || pack == options.templatePath);
        entry.source = entry.isTemplate
            ? options.templatePath
            : QDir(options.sourceFolder).filePath(QString(pack).replace(u'\\', u'/'));
        if (!StatFile(entry.source, entry.size, entry.mtime))
            missing << entry.source;
    }
    if (!unusable.isEmpty())
        return Fail(error,
                    QStringLiteral("unusable file names in the manifest: %1")
                        .arg(unusable.join(QStringLiteral(", "))));
    if (!duplicates.isEmpty())
        return Fail(error,
                    QStringLiteral("duplicate file names in the manifest: %1")
                        .arg(duplicates.join(QStringLiteral(", "))));
    if (!missing.isEmpty())
        return Fail(error,
                    QStringLiteral("missing source files: %1").arg(missing.join(QStringLiteral(", "))));

    qint64 total = 0;
    for (const FileEntry& entry : entries)
        total += entry.size;
    if (options.progress)
        options.progress(0, total);

    // SQLite fills a temporary file beside the output, which then goes into
    // place whole; a failed build leaves an earlier package as it was.
    PLATFORM::CFileWriter output(options.outputPath);
    if (!output.Open())
        return Fail(error, output.Failure().Text());
    CPackageWriter writer;
    QString writeError;
    auto abandon = [&](const QString& text) {
        writer.Close();
        PLATFORM::RemoveFile(output.TemporaryPath() + QStringLiteral("-journal"));
        output.Abandon();
        return Fail(error, text);
    };
    if (!writer.Create(output.TemporaryPath(), &writeError))
        return abandon(writeError);
    const std::pair<const char*, QString> configRows[] = {
        {"ProgramTitle", info.version.prog},
        {"ProgramName", info.version.prog},
        {"InstallVersion", info.version.ver},
        {"InstallData", QString()},
    };
    for (const auto& [id, value] : configRows) {
        if (!writer.AddConfig(QString::fromLatin1(id), value.isNull() ? QStringLiteral("") : value, 0,
                              &writeError))
            return abandon(writeError);
    }

    PackageRow manifestRow;
    manifestRow.name = kManifestName;
    manifestRow.ver = QStringLiteral("1.2");
    manifestRow.pack = kManifestName;
    manifestRow.time = PackageTimeText(manifestTime);
    PackBytes(manifest, 0, manifestRow);
    manifestRow.mode = 0;  // read at every start: kept as it is
    manifestRow.data = manifest;
    if (!writer.AddFile(manifestRow, &writeError))
        return abandon(writeError);

    // Files are read and compressed ahead on worker threads, a few at a time,
    // and written in manifest order, so the package is the same whatever the
    // number of threads.
    const int level = options.level;
    auto prepare = [level](const FileEntry& entry) -> std::optional<PackageRow> {
        QByteArray content;
        qint64 limit = -1;
        if (entry.isTemplate) {
            // The template's own bytes: a package attached to it stays behind.
            PLATFORM::CExecutableResources resources;
            resources.Open(entry.source);
            if (resources.ExecutableSize() > 0)
                limit = qint64(resources.ExecutableSize());
        }
        if (!ReadFile(entry.source, limit, content))
            return std::nullopt;
        PackageRow row;
        row.name = entry.name;
        row.ver = entry.ver;
        row.path = entry.path;
        row.pack = entry.pack;
        row.action = entry.action;
        row.time = PackageTimeText(entry.mtime);
        PackBytes(content, level, row);
        return row;
    };
    const size_t ahead = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::deque<std::future<std::optional<PackageRow>>> pending;
    size_t launched = 0;
    auto launch = [&] {
        while (launched < entries.size() && pending.size() < ahead)
            pending.push_back(std::async(std::launch::async, prepare, std::cref(entries[launched++])));
    };

    qint64 done = 0;
    for (const FileEntry& entry : entries) {
        launch();
        const std::optional<PackageRow> row = pending.front().get();
        pending.pop_front();
        launch();
        if (!row)
            return abandon(QStringLiteral("cannot read %1").arg(entry.source));
        if (!writer.AddFile(*row, &writeError))
            return abandon(writeError);
        done += entry.size;
        if (options.progress)
            options.progress(done, total);
    }
    if (!writer.Finish(&writeError))
        return abandon(writeError);
    if (!output.Commit())
        return Fail(error, output.Failure().Text());
    if (summary) {
        summary->files = int(entries.size());
        summary->payloadBytes = total;
        summary->packageBytes = QFileInfo(options.outputPath).size();
    }
    return true;
}
