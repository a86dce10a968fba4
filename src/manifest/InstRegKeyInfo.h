// One "Value" of a registry key in the install manifest.
#pragma once

#include "manifest/XmlNode.h"

#include <QString>

namespace BASE {
class CXmlDocument;
}

class CInstRegKeyInfo {
public:
    CInstRegKeyInfo() = default;
    CInstRegKeyInfo(const CInstRegKeyInfo&) = default;
    CInstRegKeyInfo(CInstRegKeyInfo&&) = default;
    CInstRegKeyInfo& operator=(const CInstRegKeyInfo&) = default;
    CInstRegKeyInfo& operator=(CInstRegKeyInfo&&) = default;
    virtual ~CInstRegKeyInfo() = default;

    // Fills name, type and data from the element's attributes; a node
    // without attributes leaves them empty.
    virtual int Read(BASE::CXmlNode element);
    // Sets name, type and data on the element, empty ones included.
    virtual int Write(BASE::CXmlDocument& document, BASE::CXmlNode element);

    bool operator==(const CInstRegKeyInfo&) const = default;

    QString name;  // "@" is the key's default value
    QString type;  // carried; values are always written as strings
    QString data;  // may hold path macros
};
