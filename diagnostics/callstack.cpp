#include "callstack.h"

#include "diagnostics/callstackmemory.h"
#include "platform/faultinformation.h"
#include "platform/stackbounds.h"

#include <sstream>

namespace com { namespace corvane { namespace vesk {

namespace {

const wchar_t* const kCurrentModule = L"N/A - (Current Application)";
const std::wstring kOpening = L"<CallStack>\n";
const std::wstring kClosing = L"</CallStack>\n";

std::wstring hexAddress(uintptr_t address)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text(sizeof(uintptr_t) * 2, L'0');
    for (std::size_t i = text.size(); i-- > 0; address >>= 4)
        text[i] = digits[address & 0xF];
    return text;
}

std::wstring frameText(const StackFrame& frame)
{
    std::wostringstream out;
    out << L"<StackFrame>";
    if (!frame.moduleName.empty())
        out << L"<ModuleName>" << frame.moduleName << L"</ModuleName>\n";
    if (!frame.symbolName.empty())
        out << L"<SymbolName>" << frame.symbolName << L"</SymbolName>\n";
    if (frame.lineNumber != 0)
        out << L"<LineNumber>" << frame.lineNumber << L"</LineNumber>\n";
    if (frame.address != 0)
        out << L"<Address>(0x" << hexAddress(frame.address) << L")</Address>\n";
    out << L"</StackFrame>\n";
    return out.str();
}

}  // namespace

const std::vector<StackFrame>& CallStack::capture(uintptr_t framePointer,
                                                  const CallStackMemory& memory)
{
    for (int count = 0; framePointer != 0 && count < kMaxEntries; ++count) {
        uintptr_t callerFrame = 0;
        uintptr_t returnAddress = 0;
        if (!memory.readWord(framePointer, &callerFrame)
            || !memory.readWord(framePointer + sizeof(uintptr_t), &returnAddress))
            break;
        StackFrame frame;
        frame.moduleName = kCurrentModule;
        frame.address = returnAddress;
        m_entries.push_back(frame);
        if (returnAddress == 0)
            break;
        // Callers' frames lie above; anything else is a broken or looping chain.
        if (callerFrame != 0 && callerFrame <= framePointer)
            break;
        framePointer = callerFrame;
    }
    return m_entries;
}

const std::vector<StackFrame>& CallStack::capture(const platform::FaultInformation& fault)
{
    const CallStackMemory stack(fault.stackLow, fault.stackHigh);
    return capture(platform::framePointerOf(fault.context), stack);
}

void CallStack::removeInnermost(std::size_t count)
{
    const std::size_t n = count < m_entries.size() ? count : m_entries.size();
    m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(n));
}

std::wstring CallStack::text(std::size_t maxChars) const
{
    std::wstring out = kOpening;
    for (const StackFrame& frame : m_entries) {
        const std::wstring entry = frameText(frame);
        if (out.size() + entry.size() + kClosing.size() > maxChars)
            break;
        out += entry;
    }
    out += kClosing;
    return out;
}

}}}  // namespace com::corvane::vesk
