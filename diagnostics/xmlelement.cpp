#include "xmlelement.h"

#include "xmlattribute.h"

#include "platform/text.h"

namespace com { namespace corvane { namespace vesk {

void writeUtf8(std::ostream& out, const std::wstring& text)
{
    out << platform::toUtf8(text);
}

std::wstring blanksToUnderscores(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c == L' ')
            c = L'_';
    }
    return text;
}

XmlElement::XmlElement(const std::wstring& name, const std::wstring& text)
    : m_name(blanksToUnderscores(name))
    , m_text(text)
{
}

XmlElement::XmlElement(const XmlElement& other) = default;

XmlElement& XmlElement::operator=(const XmlElement& other)
{
    assign(other);
    return *this;
}

XmlElement::~XmlElement() = default;

void XmlElement::assign(const XmlElement& other)
{
    if (this == &other)
        return;
    m_name = other.m_name;
    m_text = other.m_text;
    m_attributes = other.m_attributes;
}

bool XmlElement::nameEquals(const std::wstring& name) const
{
    return m_name == name;
}

bool XmlElement::nameEquals(const XmlElement& other) const
{
    return m_name == other.m_name;
}

bool XmlElement::nameLess(const XmlElement& other) const
{
    return m_name < other.m_name;
}

int XmlElement::write(std::ostream& out) const
{
    if (m_name.empty())
        return XmlEmptyName;
    if (m_attributes.empty()) {
        writeUtf8(out, L"\t<" + m_name + L">" + m_text + L"</" + m_name + L">");
        out << std::endl;
        return XmlOk;
    }
    writeUtf8(out, L"\t<" + m_name + L">");
    out << std::endl;
    for (const XmlAttribute& attribute : m_attributes)
        attribute.write(out);
    writeUtf8(out, L"\t</" + m_name + L">");
    out << std::endl;
    return XmlOk;
}

int XmlElement::addAttribute(const XmlAttribute& attribute)
{
    m_attributes.push_back(attribute);
    return XmlOk;
}

}}}  // namespace com::corvane::vesk
