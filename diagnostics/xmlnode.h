#ifndef QUILLET_DIAGNOSTICS_XMLNODE_H
#define QUILLET_DIAGNOSTICS_XMLNODE_H

#include "xmlelement.h"

#include <ostream>
#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

// A container node of an XML document: leaf elements first, then child
// nodes, each stored as a copy (build a member completely, then add it).
// The name has blanks turned into underscores.
class XmlNode {
public:
    explicit XmlNode(const std::wstring& name);

    // Stores a copy of the element; returns 0.
    int addElement(const XmlElement& element);
    // Stores a copy of the child; returns 0.
    int addChild(const XmlNode& child);

    const std::wstring& name() const { return m_name; }

    // Writes the node at the given depth: its tags are indented by depth
    // tabs, its leaf elements always by one.
    void write(std::ostream& out, int depth) const;

private:
    std::wstring m_name;
    std::vector<XmlNode> m_children;
    std::vector<XmlElement> m_elements;
};

}}}  // namespace com::corvane::vesk

#endif
