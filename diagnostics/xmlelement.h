#ifndef QUILLET_DIAGNOSTICS_XMLELEMENT_H
#define QUILLET_DIAGNOSTICS_XMLELEMENT_H

#include <ostream>
#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

class XmlAttribute;

// Result codes of the XML writer.
enum XmlResult : int {
    XmlOk = 0,
    XmlEmptyName = 1,       // element with an empty name not written
    XmlOutputFailed = 2,    // output file could not be opened or written
    XmlNoRoot = 3,          // writer has no root
    XmlEmptyAttribute = 5,  // attribute with an empty name, value or tag not written
};

// A leaf element with a text, or with attributes written as child lines
// (then the text is not written). Names have blanks turned into underscores.
// Nothing is escaped: texts are written as given. Output is UTF-8.
class XmlElement {
public:
    XmlElement(const std::wstring& name, const std::wstring& text);
    XmlElement(const XmlElement& other);
    XmlElement& operator=(const XmlElement& other);
    virtual ~XmlElement();

    // Copies name, text and attributes.
    virtual void assign(const XmlElement& other);
    virtual bool nameEquals(const std::wstring& name) const;
    virtual bool nameEquals(const XmlElement& other) const;
    virtual bool nameLess(const XmlElement& other) const;
    // Writes the element, one tab in; 0, or 1 (nothing written) for an empty name.
    virtual int write(std::ostream& out) const;

    // Stores a copy of the attribute; returns 0.
    int addAttribute(const XmlAttribute& attribute);

    const std::wstring& name() const { return m_name; }
    const std::wstring& text() const { return m_text; }

protected:
    std::wstring m_name;
    std::wstring m_text;
    std::vector<XmlAttribute> m_attributes;
};

// Writes wide text to a byte stream as UTF-8.
void writeUtf8(std::ostream& out, const std::wstring& text);
// Blanks (U+0020) turned into underscores.
std::wstring blanksToUnderscores(std::wstring text);

}}}  // namespace com::corvane::vesk

#endif
