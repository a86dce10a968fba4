#include "manifest/XmlNode.h"

#include <pugixml.hpp>

namespace BASE {

namespace {

pugi::xml_node Node(pugi::xml_node_struct* p)
{
    return pugi::xml_node(p);
}

bool IsText(const pugi::xml_node& n)
{
    return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

}  // namespace

bool CXmlAttributes::Lookup(const QString& name, QString& value) const
{
    if (!m_element)
        return false;
    const pugi::xml_attribute attr = Node(m_element).attribute(name.toUtf8().constData());
    if (!attr)
        return false;
    value = QString::fromUtf8(attr.value());
    return true;
}

bool CXmlNode::IsElement() const
{
    return m_node && Node(m_node).type() == pugi::node_element;
}

QString CXmlNode::Name() const
{
    return m_node ? QString::fromUtf8(Node(m_node).name()) : QString();
}

QString CXmlNode::Text() const
{
    if (!m_node)
        return {};
    const pugi::xml_node top = Node(m_node);
    if (top.type() != pugi::node_element && top.type() != pugi::node_document)
        return QString::fromUtf8(top.value());
    // Iterative walk: documents may nest deeper than the stack allows.
    QByteArray text;
    pugi::xml_node cur = top.first_child();
    while (cur) {
        if (IsText(cur))
            text += cur.value();
        if (cur.first_child()) {
            cur = cur.first_child();
            continue;
        }
        while (cur != top && !cur.next_sibling())
            cur = cur.parent();
        if (cur == top)
            break;
        cur = cur.next_sibling();
    }
    return QString::fromUtf8(text);
}

bool CXmlNode::SetText(const QString& text)
{
    if (!IsElement())
        return false;
    pugi::xml_node n = Node(m_node);
    n.remove_children();
    if (text.isEmpty())
        return true;
    return n.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
}

CXmlNode CXmlNode::SelectChild(const QString& name) const
{
    if (!m_node)
        return {};
    const QByteArray key = name.toUtf8();
    for (pugi::xml_node c = Node(m_node).first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && key == c.name())
            return CXmlNode(c.internal_object());
    }
    return {};
}

std::vector<CXmlNode> CXmlNode::ChildNodes() const
{
    std::vector<CXmlNode> nodes;
    if (!m_node)
        return nodes;
    for (pugi::xml_node c = Node(m_node).first_child(); c; c = c.next_sibling()) {
        switch (c.type()) {
        case pugi::node_element:
        case pugi::node_pcdata:
        case pugi::node_cdata:
        case pugi::node_comment:
        case pugi::node_pi:
            nodes.emplace_back(c.internal_object());
            break;
        default:
            break;
        }
    }
    return nodes;
}

bool CXmlNode::AppendChild(const CXmlNode& child)
{
    if (!IsElement() || child.IsNull())
        return false;
    return bool(Node(m_node).append_move(Node(child.m_node)));
}

CXmlAttributes CXmlNode::Attributes() const
{
    return IsElement() ? CXmlAttributes(m_node) : CXmlAttributes();
}

bool CXmlNode::SetAttribute(const QString& name, const QString& value)
{
    if (!IsElement())
        return false;
    pugi::xml_node n = Node(m_node);
    const QByteArray key = name.toUtf8();
    pugi::xml_attribute attr = n.attribute(key.constData());
    if (!attr)
        attr = n.append_attribute(key.constData());
    return attr && attr.set_value(value.toUtf8().constData());
}

}  // namespace BASE
