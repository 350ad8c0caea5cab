#include "registryfile.h"

#include "text.h"

#include <cwctype>

namespace platform {

namespace {

std::wstring trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring::npos)
        return std::wstring();
    const auto last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

std::wstring decode(const std::string& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return fromUtf16le(bytes.substr(2));
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return fromUtf8(bytes.substr(3));
    return fromUtf8(bytes);
}

bool rootFromName(const std::wstring& name, RegistryRoot& root)
{
    const std::wstring lower = lowered(name);
    if (lower == L"hkey_current_user" || lower == L"hkcu") {
        root = RegistryRoot::CurrentUser;
        return true;
    }
    if (lower == L"hkey_local_machine" || lower == L"hklm") {
        root = RegistryRoot::LocalMachine;
        return true;
    }
    return false;
}

// Reads a quoted string starting at text[pos] == '"'. On success pos is just
// past the closing quote.
bool readQuoted(const std::wstring& text, size_t& pos, std::wstring& out)
{
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"') {
            pos = i + 1;
            return true;
        }
        if (c == L'\\' && i + 1 < text.size() && (text[i + 1] == L'\\' || text[i + 1] == L'"')) {
            out.push_back(text[++i]);
            continue;
        }
        out.push_back(c);
    }
    return false;
}

bool readDword(const std::wstring& digits, uint32_t& number)
{
    if (digits.empty() || digits.size() > 8)
        return false;
    number = 0;
    for (wchar_t c : digits) {
        if (!std::iswxdigit(static_cast<wint_t>(c)))
            return false;
        const wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        number
            = number * 16 + static_cast<uint32_t>(lower <= L'9' ? lower - L'0' : lower - L'a' + 10);
    }
    return true;
}

}  // namespace

RegistryFile::RegistryFile(const std::string& bytes)
{
    const std::wstring text = decode(bytes);
    size_t start = 0;
    int number = 0;
    std::wstring pending;
    while (start <= text.size()) {
        auto end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        ++number;
        std::wstring line = trimmed(text.substr(start, end - start));
        start = end + 1;
        // Long hex values continue on the next line after ",\".
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, L",\\") == 0
            && start <= text.size()) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        if (!pending.empty()) {
            line = pending + line;
            pending.clear();
        }
        parseLine(line, number);
    }
}

void RegistryFile::parseLine(const std::wstring& line, int number)
{
    if (line.empty() || line[0] == L';')
        return;
    if (line == L"Windows Registry Editor Version 5.00" || line == L"REGEDIT4")
        return;
    if (line[0] == L'[')
        parseSection(line, number);
    else if (line[0] == L'"' || line[0] == L'@')
        parseValue(line, number);
    else
        addProblem(number, "not a key, a value or a comment");
}

void RegistryFile::parseSection(const std::wstring& line, int number)
{
    m_inSection = false;
    if (line.back() != L']') {
        addProblem(number, "key name without closing ']'");
        return;
    }
    std::wstring name = line.substr(1, line.size() - 2);
    Key key;
    if (!name.empty() && name[0] == L'-') {
        key.removed = true;
        name.erase(0, 1);
    }
    const auto slash = name.find(L'\\');
    if (!rootFromName(name.substr(0, slash), key.root)) {
        addProblem(number, "unknown root key (only HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE)");
        return;
    }
    key.path = slash == std::wstring::npos ? std::wstring() : name.substr(slash + 1);
    m_keys.push_back(key);
    m_inSection = !key.removed;
}

void RegistryFile::parseValue(const std::wstring& line, int number)
{
    if (!m_inSection) {
        addProblem(number, "value outside a key");
        return;
    }
    Value value;
    size_t pos = 1;  // just past "@"
    if (line[0] == L'"') {
        pos = 0;
        if (!readQuoted(line, pos, value.name)) {
            addProblem(number, "value name without closing quote");
            return;
        }
    }
    const std::wstring rest = trimmed(line.substr(pos));
    if (rest.empty() || rest[0] != L'=') {
        addProblem(number, "value without '='");
        return;
    }
    const std::wstring data = trimmed(rest.substr(1));
    if (data == L"-") {
        value.removed = true;
    } else if (!data.empty() && data[0] == L'"') {
        size_t end = 0;
        if (!readQuoted(data, end, value.value.text) || end != data.size()) {
            addProblem(number, "malformed string value");
            return;
        }
        value.value.type = RegistryValueType::String;
    } else if (data.compare(0, 6, L"dword:") == 0) {
        if (!readDword(data.substr(6), value.value.number)) {
            addProblem(number, "malformed dword value (1 to 8 hexadecimal digits)");
            return;
        }
        value.value.type = RegistryValueType::DWord;
    } else if (data.compare(0, 3, L"hex") == 0) {
        addProblem(number, "value type not supported (only strings and dwords)");
        return;
    } else {
        addProblem(number, "malformed value");
        return;
    }
    m_keys.back().values.push_back(value);
}

void RegistryFile::addProblem(int number, const std::string& reason)
{
    m_problems.push_back("line " + std::to_string(number) + ": " + reason);
}

}  // namespace platform
