#include "xmlwriter.h"

#include "xmlnode.h"

namespace com { namespace corvane { namespace vesk {

XmlWriter::XmlWriter(const std::filesystem::path& path)
{
    m_file.open(path, std::ios::out | std::ios::trunc);
    if (m_file.is_open())
        m_file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" << std::endl;
}

XmlWriter::~XmlWriter()
{
    if (m_file.is_open()) {
        m_file.flush();
        m_file.close();
    }
}

int XmlWriter::setRoot(XmlNode* root)
{
    if (m_root)
        releaseRoot();
    m_root = root;
    return XmlOk;
}

int XmlWriter::write()
{
    if (!m_root)
        return XmlNoRoot;
    if (!m_file.is_open())
        return XmlOutputFailed;
    m_root->write(m_file, 0);
    m_file.flush();
    return m_file.good() ? XmlOk : XmlOutputFailed;
}

int XmlWriter::releaseRoot()
{
    delete m_root;
    m_root = nullptr;
    return XmlOk;
}

}}}  // namespace com::corvane::vesk
