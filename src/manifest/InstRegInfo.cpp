#include "manifest/InstRegInfo.h"

#include "manifest/XmlFileBase.h"

using namespace BASE;

int CInstRegInfo::Read(CXmlNode element)
{
    const CXmlAttributes attributes = element.Attributes();
    if (!attributes.IsNull()) {
        GetAttribute(attributes, QStringLiteral("rootkey"), rootkey);
        GetAttribute(attributes, QStringLiteral("subkey"), subkey);
        GetAttribute(attributes, QStringLiteral("action"), action);
    }
    for (const CXmlNode& child : element.ChildNodes()) {
        CInstRegKeyInfo value;
        value.Read(child);
        values.push_back(std::move(value));
    }
    return 0;
}

int CInstRegInfo::Write(CXmlDocument& document, CXmlNode element)
{
    element.SetAttribute(QStringLiteral("rootkey"), rootkey);
    element.SetAttribute(QStringLiteral("subkey"), subkey);
    element.SetAttribute(QStringLiteral("action"), action);
    for (CInstRegKeyInfo& value : values) {
        CXmlNode child = document.CreateElement(QStringLiteral("Value"));
        value.Write(document, child);
        element.AppendChild(child);
    }
    return 0;
}
