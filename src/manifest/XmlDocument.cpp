#include "manifest/XmlDocument.h"

#include <pugixml.hpp>

namespace BASE {

CXmlNode CXmlDocument::CreateElement(const QString& name)
{
    // pugixml has no detached nodes: new elements wait at document level,
    // outside the root that gets saved, until they are attached.
    pugi::xml_node doc(m_document);
    return CXmlNode(doc.append_child(name.toUtf8().constData()).internal_object());
}

}  // namespace BASE
