// The install manifest in memory: product identity, installer settings and the
// files, registry keys and shortcuts of one installation. Read from
// Install.xml or uninstall.xml; saved as uninstall.xml through WriteManifest.
#pragma once

#include "manifest/InstFileInfo.h"
#include "manifest/InstRegInfo.h"
#include "manifest/InstShortcutInfo.h"
#include "manifest/XmlFileBase.h"

#include <QString>

#include <cstdint>
#include <list>

class CInstallInfo : public BASE::CXmlFileBase {
public:
    // Attributes of "version".
    struct Version {
        QString prog;   // product display name
        QString ver;    // product version
        QString clsid;  // product identifier, GUID without braces
        bool operator==(const Version&) const = default;
    };
    // Children of "info".
    struct Info {
        QString prog;           // product folder and key name
        int32_t value = 0;      // window label of the running product; 0: no search
        QString url;            // upgrade descriptor address
        QString cab;            // carried only
        QString upinfo;         // carried only
        QString company;        // publisher
        QString help;           // help link
        int32_t autostart = 0;  // 1: also an "-autostart" shortcut
        int32_t tessaly = 0;    // non-zero: offer the companion editor
        bool operator==(const Info&) const = default;
    };

    // Reads every section found below root; lists are appended to, never
    // cleared. Missing sections, children and attributes keep their values.
    int Read(BASE::CXmlNode root) override;
    // Does nothing: the manifest is saved through WriteManifest.
    int Write(BASE::CXmlDocument& document, BASE::CXmlNode root) override;

    bool operator==(const CInstallInfo&) const = default;

    Version version;
    Info info;
    QString mainprogPath;  // expanded target of the "mainprog" shortcut, set while creating shortcuts
    std::list<CInstFileInfo> files;
    std::list<CInstShortcutInfo> shortcut;
    std::list<CInstRegInfo> registry;
    int64_t installedSize = 0;  // bytes deployed, summed by file deployment
};

// Write callback for Save/SaveXml with context = the CInstallInfo: fills the
// root with version, info (prog, company, help, value), files, registry and
// shortcut, in that order, every attribute present. Always returns 0.
int WriteManifest(void* context, BASE::CXmlDocument& document, BASE::CXmlNode root);
