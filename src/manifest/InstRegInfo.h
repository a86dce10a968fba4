// One registry key of the install manifest ("Key" or "key") with its values.
#pragma once

#include "manifest/InstRegKeyInfo.h"
#include "manifest/XmlNode.h"

#include <QString>

#include <vector>

namespace BASE {
class CXmlDocument;
}

class CInstRegInfo {
public:
    CInstRegInfo() = default;
    CInstRegInfo(const CInstRegInfo&) = default;
    CInstRegInfo(CInstRegInfo&&) = default;
    CInstRegInfo& operator=(const CInstRegInfo&) = default;
    CInstRegInfo& operator=(CInstRegInfo&&) = default;
    virtual ~CInstRegInfo() = default;

    // Reads rootkey, subkey and action, then one value per child node in
    // document order (appended; a non-element child gives an empty value).
    virtual int Read(BASE::CXmlNode element);
    // Sets rootkey, subkey and action, then appends one "Value" per value.
    virtual int Write(BASE::CXmlDocument& document, BASE::CXmlNode element);

    bool operator==(const CInstRegInfo&) const = default;

    QString rootkey;  // "HKLM", "HKCR", anything else means HKCU
    QString subkey;   // key path below the root, '\'-separated
    QString action;   // "del": delete the key's tree, ignore the values
    std::vector<CInstRegKeyInfo> values;
};
