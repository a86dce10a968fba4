// Loads arbitrary bytes as an install manifest and as an upgrade descriptor,
// then saves the manifest and checks that what was saved reads back the same.

#include "manifest/InstallInfo.h"
#include "manifest/UpgradeInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// The part of a manifest that uninstall.xml carries.
CInstallInfo SavedPart(const CInstallInfo& m)
{
    CInstallInfo part;
    part.version = m.version;
    part.info.prog = m.info.prog;
    part.info.company = m.info.company;
    part.info.help = m.info.help;
    part.info.value = m.info.value;
    part.files = m.files;
    part.registry = m.registry;
    part.shortcut = m.shortcut;
    return part;
}

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_manifest: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString input = dir.filePath(QStringLiteral("input.xml"));
    static const QString output = dir.filePath(QStringLiteral("uninstall.xml"));
    {
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    CUpgradeInfo upgrade;
    if (upgrade.Load(input)) {
        QString text;
        Require(upgrade.SaveXml(text, QStringLiteral("upgrade"), true), "descriptor not saved");
        CUpgradeInfo again;
        Require(again.LoadXml(text), "saved descriptor does not load");
        Require(again.version == upgrade.version && again.info == upgrade.info && again.url == upgrade.url
                    && again.md5 == upgrade.md5,
                "descriptor changed through saving");
    }

    CInstallInfo manifest;
    if (!manifest.Load(input))
        return 0;
    const CInstallInfo expected = SavedPart(manifest);
    for (bool indent : {true, false}) {
        QString text;
        Require(manifest.SaveXml(text, QStringLiteral("install"), indent, WriteManifest, &manifest),
                "manifest not serialised");
        CInstallInfo again;
        Require(again.LoadXml(text), "serialised manifest does not load");
        Require(again == expected, indent ? "indented manifest changed" : "compact manifest changed");
    }
    // Saving to disk syncs the file, which is slow; the text above is the
    // same document, so only some inputs take this path.
    static unsigned count = 0;
    if (count++ % 64 != 0)
        return 0;
    Require(manifest.Save(output, QStringLiteral("install"), WriteManifest, &manifest), "manifest not saved");
    CInstallInfo saved;
    Require(saved.Load(output), "saved manifest does not load");
    Require(saved == expected, "saved manifest changed");
    return 0;
}
