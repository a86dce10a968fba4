// The upgrade descriptor: a small document announcing the newest installer of
// a product. Any root name; one child element per field, the first of each
// name counts.
#pragma once

#include "manifest/XmlFileBase.h"

#include <QString>

class CUpgradeInfo : public BASE::CXmlFileBase {
public:
    // Takes each field from the root's child of the same name; missing ones keep their value.
    int Read(BASE::CXmlNode root) override;
    // Lowers clsid and md5 in place, then appends one child per field.
    int Write(BASE::CXmlDocument& document, BASE::CXmlNode root) override;

    QString title;
    QString prog;
    QString version;  // offered installer version, compared as text
    QString url;      // where the new installer is downloaded from
    QString info;     // release notes; '|' stands for a line break
    QString time;
    QString md5;
    QString clsid;
    QString data;
};
