#include "manifest/InstRegKeyInfo.h"

#include "manifest/XmlFileBase.h"

using namespace BASE;

int CInstRegKeyInfo::Read(CXmlNode element)
{
    const CXmlAttributes attributes = element.Attributes();
    if (attributes.IsNull())
        return 0;
    GetAttribute(attributes, QStringLiteral("name"), name);
    GetAttribute(attributes, QStringLiteral("type"), type);
    GetAttribute(attributes, QStringLiteral("data"), data);
    return 0;
}

int CInstRegKeyInfo::Write(CXmlDocument&, CXmlNode element)
{
    element.SetAttribute(QStringLiteral("name"), name);
    element.SetAttribute(QStringLiteral("type"), type);
    element.SetAttribute(QStringLiteral("data"), data);
    return 0;
}
