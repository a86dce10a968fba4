// One "link" entry of the install manifest: a shortcut to create.
#pragma once

#include "manifest/XmlFileBase.h"

class CInstShortcutInfo : public BASE::CXmlFileBase {
public:
    // Fills the record from the element's attributes; a node without
    // attributes (comment, text) leaves every field empty.
    int Read(BASE::CXmlNode element) override;
    // Sets path, name, type and lnk on the element, empty ones included.
    int Write(BASE::CXmlDocument& document, BASE::CXmlNode element) override;

    bool operator==(const CInstShortcutInfo&) const = default;

    QString path;       // target, usually starting with a path macro
    QString name;       // description
    QString type;       // "mainprog", "uninstall" or anything else for a plain shortcut
    QString lnk;        // shortcut file name with its ".lnk" extension
    QString arguments;  // not in the XML; stays empty
};
