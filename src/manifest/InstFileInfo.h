// One "file" entry of the install manifest: a file to deploy and where.
#pragma once

#include "manifest/XmlFileBase.h"

class CInstFileInfo : public BASE::CXmlFileBase {
public:
    // Fills the record from the element's attributes; a node without
    // attributes (comment, text) leaves every field empty.
    int Read(BASE::CXmlNode element) override;
    // Sets name, path, pack and action on the element, empty ones included.
    int Write(BASE::CXmlDocument& document, BASE::CXmlNode element) override;

    bool operator==(const CInstFileInfo&) const = default;

    QString name;    // file name on disk and row name in the package
    QString path;    // target folder, may start with a path macro
    QString pack;    // name it was packed under; carried only
    QString action;  // "nodw": listed but not deployed

    // Match the package's files columns; neither read nor written, kept empty.
    QString ver;
    QString mode;
    QString length;
    QString len;
    QString time;
    QString md5;
    QString data;
};
