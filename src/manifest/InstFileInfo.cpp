#include "manifest/InstFileInfo.h"

using namespace BASE;

int CInstFileInfo::Read(CXmlNode element)
{
    const CXmlAttributes attributes = element.Attributes();
    if (attributes.IsNull())
        return 0;
    GetAttribute(attributes, QStringLiteral("name"), name);
    GetAttribute(attributes, QStringLiteral("path"), path);
    GetAttribute(attributes, QStringLiteral("pack"), pack);
    GetAttribute(attributes, QStringLiteral("action"), action);
    return 0;
}

int CInstFileInfo::Write(CXmlDocument&, CXmlNode element)
{
    element.SetAttribute(QStringLiteral("name"), name);
    element.SetAttribute(QStringLiteral("path"), path);
    element.SetAttribute(QStringLiteral("pack"), pack);
    element.SetAttribute(QStringLiteral("action"), action);
    return 0;
}
