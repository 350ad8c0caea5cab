#include "xmlattribute.h"

namespace com { namespace corvane { namespace vesk {

XmlAttribute::XmlAttribute(const std::wstring& name, const std::wstring& value,
                           const std::wstring& tag)
    : XmlElement(name, value)
    , m_tag(tag)
{
}

XmlAttribute::XmlAttribute(const XmlAttribute& other) = default;

XmlAttribute& XmlAttribute::operator=(const XmlAttribute& other)
{
    assign(other);
    return *this;
}

XmlAttribute::~XmlAttribute() = default;

void XmlAttribute::assign(const XmlAttribute& other)
{
    if (this == &other)
        return;
    m_name = other.m_name;
    m_text = other.m_text;
    m_tag = other.m_tag;
}

int XmlAttribute::write(std::ostream& out) const
{
    if (m_name.empty() || m_text.empty() || m_tag.empty())
        return XmlEmptyAttribute;
    writeUtf8(out, L"\t<" + m_tag + L" name=\"" + m_name + L"\">" + m_text + L"</" + m_tag + L">");
    out << std::endl;
    return XmlOk;
}

}}}  // namespace com::corvane::vesk
