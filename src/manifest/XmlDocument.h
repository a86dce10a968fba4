// Handle on the document a writer fills; it creates the elements the writer
// then attaches where it wants them.
#pragma once

#include "manifest/XmlNode.h"

#include <QString>

namespace BASE {

class CXmlDocument {
public:
    explicit CXmlDocument(pugi::xml_node_struct* document) : m_document(document) {}

    // A new element owned by the document but not yet attached to the tree
    // that gets saved; attach it with CXmlNode::AppendChild.
    CXmlNode CreateElement(const QString& name);

private:
    pugi::xml_node_struct* m_document;
};

}  // namespace BASE
