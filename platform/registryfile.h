#ifndef QUILLET_PLATFORM_REGISTRYFILE_H
#define QUILLET_PLATFORM_REGISTRYFILE_H

#include "registry.h"

#include <string>
#include <vector>

namespace platform {

// Reader of the ".reg" export format:
//
//   Windows Registry Editor Version 5.00
//   [HKEY_CURRENT_USER\Software\Corvane\Vesk_SDK]
//   "CrashReportPath"="Corvane\\Reports"
//   "TimeOut"=dword:0000001e
//   "Old"=-
//   [-HKEY_CURRENT_USER\Software\Gone]
//
// The text is UTF-8 (a byte-order mark is skipped) or UTF-16LE with its
// byte-order mark, as regedit exports it. Comments start with ";". Lines
// that cannot be read are skipped and named in problems(); the rest is read.
// Only string and dword values are understood; other types are skipped.
class RegistryFile {
public:
    struct Value {
        std::wstring name;  // empty for the key's default value ("@")
        bool removed = false;
        RegistryValue value;
    };
    struct Key {
        RegistryRoot root = RegistryRoot::CurrentUser;
        std::wstring path;  // as written, without the root
        bool removed = false;
        std::vector<Value> values;
    };

    explicit RegistryFile(const std::string& bytes);

    // The sections of the file, in file order.
    const std::vector<Key>& keys() const { return m_keys; }
    // One text per skipped line: "line N: reason".
    const std::vector<std::string>& problems() const { return m_problems; }

private:
    void parseLine(const std::wstring& line, int number);
    void parseSection(const std::wstring& line, int number);
    void parseValue(const std::wstring& line, int number);
    void addProblem(int number, const std::string& reason);

    std::vector<Key> m_keys;
    std::vector<std::string> m_problems;
    bool m_inSection = false;  // false also after a section that is skipped
};

}  // namespace platform

#endif
