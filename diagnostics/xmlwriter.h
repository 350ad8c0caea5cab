#ifndef QUILLET_DIAGNOSTICS_XMLWRITER_H
#define QUILLET_DIAGNOSTICS_XMLWRITER_H

#include <filesystem>
#include <fstream>

namespace com { namespace corvane { namespace vesk {

class XmlNode;

// Writes one XML document to a file: the declaration line as soon as the file
// is opened, the tree when write() is called. The root is held by pointer: a
// root replaced by setRoot() or dropped by releaseRoot() is deleted (it must
// come from new); the destructor leaves the root alone.
class XmlWriter {
public:
    // Creates or empties the file (UTF-8).
    explicit XmlWriter(const std::filesystem::path& path);
    virtual ~XmlWriter();
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;

    // Whether the file was opened.
    bool isOpen() const { return m_file.is_open(); }

    // Deletes a root set before, then stores the new one; returns 0.
    virtual int setRoot(XmlNode* root);
    // 0 when the document is on disk, 3 without a root, 2 when the file could
    // not be opened or written.
    virtual int write();
    // Deletes the root, if any; returns 0.
    virtual int releaseRoot();

private:
    std::ofstream m_file;
    XmlNode* m_root = nullptr;
};

}}}  // namespace com::corvane::vesk

#endif
