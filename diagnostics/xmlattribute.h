#ifndef QUILLET_DIAGNOSTICS_XMLATTRIBUTE_H
#define QUILLET_DIAGNOSTICS_XMLATTRIBUTE_H

#include "xmlelement.h"

namespace com { namespace corvane { namespace vesk {

// A named value inside an element, written as its own line:
//   \t<tag name="name">value</tag>
// The name has blanks turned into underscores; the tag is kept as given.
class XmlAttribute : public XmlElement {
public:
    XmlAttribute(const std::wstring& name, const std::wstring& value, const std::wstring& tag);
    XmlAttribute(const XmlAttribute& other);
    XmlAttribute& operator=(const XmlAttribute& other);
    ~XmlAttribute() override;

    // 0, or 5 (nothing written) when the name, value or tag is empty.
    int write(std::ostream& out) const override;
    using XmlElement::assign;
    // Copies name, value and tag (not the attribute list).
    virtual void assign(const XmlAttribute& other);
    virtual std::wstring tag() const { return m_tag; }

private:
    std::wstring m_tag;
};

}}}  // namespace com::corvane::vesk

#endif
