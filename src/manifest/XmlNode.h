// Handles on the nodes of a parsed or new XML document; the only view of the
// XML library the readers and writers above get. A handle is valid while the
// document it came from lives (during one Read/Write call).
#pragma once

#include <QString>

#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace BASE {

// The attributes of one element; null for nodes that carry none (comments,
// processing instructions, text).
class CXmlAttributes {
public:
    CXmlAttributes() = default;
    explicit CXmlAttributes(pugi::xml_node_struct* element) : m_element(element) {}

    bool IsNull() const { return m_element == nullptr; }
    // Looks the attribute up by exact name; false (value untouched) when absent.
    bool Lookup(const QString& name, QString& value) const;

private:
    pugi::xml_node_struct* m_element = nullptr;
};

class CXmlNode {
public:
    CXmlNode() = default;
    explicit CXmlNode(pugi::xml_node_struct* node) : m_node(node) {}

    bool IsNull() const { return m_node == nullptr; }
    bool IsElement() const;
    QString Name() const;

    // All text below the node, concatenated in document order.
    QString Text() const;
    // Replaces the node's children by one text node (none for an empty text).
    bool SetText(const QString& text);

    // The first direct child element with exactly this name, or a null node.
    CXmlNode SelectChild(const QString& name) const;
    // Every child node in document order: elements, comments, processing
    // instructions and text; whitespace between elements is not a node.
    std::vector<CXmlNode> ChildNodes() const;
    // Moves child (a node of the same document) to the end of this node's children.
    bool AppendChild(const CXmlNode& child);

    CXmlAttributes Attributes() const;
    // Sets or replaces an attribute; new ones go after the existing ones.
    bool SetAttribute(const QString& name, const QString& value);

    pugi::xml_node_struct* Handle() const { return m_node; }

private:
    pugi::xml_node_struct* m_node = nullptr;
};

}  // namespace BASE
