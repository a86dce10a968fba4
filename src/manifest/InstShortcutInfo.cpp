#include "manifest/InstShortcutInfo.h"

using namespace BASE;

int CInstShortcutInfo::Read(CXmlNode element)
{
    const CXmlAttributes attributes = element.Attributes();
    if (attributes.IsNull())
        return 0;
    GetAttribute(attributes, QStringLiteral("path"), path);
    GetAttribute(attributes, QStringLiteral("name"), name);
    GetAttribute(attributes, QStringLiteral("type"), type);
    GetAttribute(attributes, QStringLiteral("lnk"), lnk);
    return 0;
}

int CInstShortcutInfo::Write(CXmlDocument&, CXmlNode element)
{
    element.SetAttribute(QStringLiteral("path"), path);
    element.SetAttribute(QStringLiteral("name"), name);
    element.SetAttribute(QStringLiteral("type"), type);
    element.SetAttribute(QStringLiteral("lnk"), lnk);
    return 0;
}
