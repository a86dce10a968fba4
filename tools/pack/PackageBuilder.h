// norvex-pack build: a package from an install manifest and a source folder.
#pragma once

#include <QString>

#include <functional>

struct PackageBuildOptions {
    QString manifestPath;
    QString sourceFolder;
    // Optional: a file entry whose pack names this executable (its file name
    // or the path as given) packs the executable's own bytes, so the product
    // can carry the installer's template as uninstall.exe.
    QString templatePath;
    QString outputPath;
    int level = 8;  // compression level 0-9 (0: stored)
    // Bytes of payload packed so far of the total, once before the first file
    // and after each one; not called when empty.
    std::function<void(qint64 done, qint64 total)> progress;
};

// What a finished build packed.
struct PackageBuildSummary {
    int files = 0;            // file rows, the manifest row not counted
    qint64 payloadBytes = 0;  // their sizes before compression
    qint64 packageBytes = 0;  // size of the package written
};

class CPackageBuilder {
public:
    // Rows in this order: "Install.xml" (ver "1.2", stored, a UTF-8 byte-order
    // mark added when missing), then one per manifest file entry from
    // sourceFolder/pack (pack defaults to name). Every problem with the inputs
    // (all missing sources at once, duplicate or unusable names, a manifest
    // that is not UTF-8 or not a manifest) is found before anything is
    // written. The output is replaced only when complete. The manifest row's
    // time is SOURCE_DATE_EPOCH when set, else the manifest's modification
    // time, so the same inputs give the same bytes.
    static bool Build(const PackageBuildOptions& options, QString* error,
                      PackageBuildSummary* summary = nullptr);
};
