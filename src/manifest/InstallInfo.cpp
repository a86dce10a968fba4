#include "manifest/InstallInfo.h"

using namespace BASE;

namespace {

// Every child node becomes a record, whatever its name: the lists keep
// comments as empty records rather than silently shifting entries.
template <typename Record>
void ReadList(CXmlNode section, std::list<Record>& list)
{
    if (section.IsNull())
        return;
    for (const CXmlNode& child : section.ChildNodes()) {
        Record record;
        record.Read(child);
        list.push_back(std::move(record));
    }
}

template <typename Record>
void WriteList(CXmlDocument& document, CXmlNode root, const QString& sectionName, const QString& itemName,
               std::list<Record>& list)
{
    CXmlNode section = document.CreateElement(sectionName);
    for (Record& record : list) {
        CXmlNode item = document.CreateElement(itemName);
        record.Write(document, item);
        section.AppendChild(item);
    }
    root.AppendChild(section);
}

}  // namespace

int CInstallInfo::Read(CXmlNode root)
{
    const CXmlNode versionNode = root.SelectChild(QStringLiteral("version"));
    if (!versionNode.IsNull()) {
        const CXmlAttributes attributes = versionNode.Attributes();
        GetAttribute(attributes, QStringLiteral("prog"), version.prog);
        GetAttribute(attributes, QStringLiteral("ver"), version.ver);
        GetAttribute(attributes, QStringLiteral("clsid"), version.clsid);
    }
    const CXmlNode infoNode = root.SelectChild(QStringLiteral("info"));
    if (!infoNode.IsNull()) {
        GetChildText(infoNode, QStringLiteral("prog"), info.prog);
        GetChildText(infoNode, QStringLiteral("url"), info.url);
        GetChildText(infoNode, QStringLiteral("cab"), info.cab);
        GetChildText(infoNode, QStringLiteral("upinfo"), info.upinfo);
        GetChildText(infoNode, QStringLiteral("company"), info.company);
        GetChildText(infoNode, QStringLiteral("help"), info.help);
        GetChildInt(infoNode, QStringLiteral("value"), info.value);
        GetChildInt(infoNode, QStringLiteral("tessaly"), info.tessaly);
        GetChildInt(infoNode, QStringLiteral("autostart"), info.autostart);
    }
    ReadList(root.SelectChild(QStringLiteral("files")), files);
    ReadList(root.SelectChild(QStringLiteral("shortcut")), shortcut);
    ReadList(root.SelectChild(QStringLiteral("registry")), registry);
    return 0;
}

int CInstallInfo::Write(CXmlDocument&, CXmlNode)
{
    return 0;
}

int WriteManifest(void* context, CXmlDocument& document, CXmlNode root)
{
    CInstallInfo& manifest = *static_cast<CInstallInfo*>(context);

    CXmlNode versionNode = document.CreateElement(QStringLiteral("version"));
    versionNode.SetAttribute(QStringLiteral("prog"), manifest.version.prog);
    versionNode.SetAttribute(QStringLiteral("ver"), manifest.version.ver);
    versionNode.SetAttribute(QStringLiteral("clsid"), manifest.version.clsid);
    root.AppendChild(versionNode);

    CXmlNode infoNode = document.CreateElement(QStringLiteral("info"));
    manifest.AddChildText(document, infoNode, QStringLiteral("prog"), manifest.info.prog);
    manifest.AddChildText(document, infoNode, QStringLiteral("company"), manifest.info.company);
    manifest.AddChildText(document, infoNode, QStringLiteral("help"), manifest.info.help);
    manifest.AddChildInt(document, infoNode, QStringLiteral("value"), manifest.info.value);
    root.AppendChild(infoNode);

    WriteList(document, root, QStringLiteral("files"), QStringLiteral("file"), manifest.files);
    WriteList(document, root, QStringLiteral("registry"), QStringLiteral("key"), manifest.registry);
    WriteList(document, root, QStringLiteral("shortcut"), QStringLiteral("link"), manifest.shortcut);
    return 0;
}
