#include "xmlnode.h"

namespace com { namespace corvane { namespace vesk {

XmlNode::XmlNode(const std::wstring& name)
    : m_name(blanksToUnderscores(name))
{
}

int XmlNode::addElement(const XmlElement& element)
{
    m_elements.push_back(element);
    return XmlOk;
}

int XmlNode::addChild(const XmlNode& child)
{
    m_children.push_back(child);
    return XmlOk;
}

void XmlNode::write(std::ostream& out, int depth) const
{
    const std::wstring indent(static_cast<size_t>(depth), L'\t');
    writeUtf8(out, indent + L"<" + m_name + L">");
    out << std::endl;
    for (const XmlElement& element : m_elements)
        element.write(out);  // empty names are skipped
    for (const XmlNode& child : m_children)
        child.write(out, depth + 1);
    writeUtf8(out, indent + L"</" + m_name + L">");
    out << std::endl;
}

}}}  // namespace com::corvane::vesk
