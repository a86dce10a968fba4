#include "manifest/UpgradeInfo.h"

using namespace BASE;

int CUpgradeInfo::Read(CXmlNode root)
{
    GetChildText(root, QStringLiteral("title"), title);
    GetChildText(root, QStringLiteral("prog"), prog);
    GetChildText(root, QStringLiteral("version"), version);
    GetChildText(root, QStringLiteral("clsid"), clsid);
    GetChildText(root, QStringLiteral("url"), url);
    GetChildText(root, QStringLiteral("info"), info);
    GetChildText(root, QStringLiteral("time"), time);
    GetChildText(root, QStringLiteral("md5"), md5);
    GetChildText(root, QStringLiteral("data"), data);
    return 0;
}

int CUpgradeInfo::Write(CXmlDocument& document, CXmlNode root)
{
    clsid = clsid.toLower();
    md5 = md5.toLower();
    AddChildText(document, root, QStringLiteral("title"), title);
    AddChildText(document, root, QStringLiteral("prog"), prog);
    AddChildText(document, root, QStringLiteral("version"), version);
    AddChildText(document, root, QStringLiteral("clsid"), clsid);
    AddChildText(document, root, QStringLiteral("url"), url);
    AddChildText(document, root, QStringLiteral("info"), info);
    AddChildText(document, root, QStringLiteral("time"), time);
    AddChildText(document, root, QStringLiteral("md5"), md5);
    AddChildText(document, root, QStringLiteral("data"), data);
    return 0;
}
