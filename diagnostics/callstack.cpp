#include "callstack.h"

#include "diagnostics/callstackmemory.h"
#include "platform/faultinformation.h"
#include "platform/stackbounds.h"

#include <atomic>
#include <sstream>

#define UNW_LOCAL_ONLY
#include <libunwind.h>

namespace com { namespace corvane { namespace vesk {

namespace {

const wchar_t* const kCurrentModule = L"N/A - (Current Application)";
const std::wstring kOpening = L"<CallStack>\n";
const std::wstring kClosing = L"</CallStack>\n";
std::atomic<CallStack::Walk> s_walk{CallStack::Walk::Unwind};

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

void CallStack::setWalk(Walk walk)
{
    s_walk.store(walk);
}

void CallStack::append(uintptr_t address)
{
    StackFrame frame;
    frame.moduleName = kCurrentModule;
    frame.address = address;
    m_entries.push_back(frame);
}

const std::vector<StackFrame>& CallStack::capture(uintptr_t framePointer,
                                                  const CallStackMemory& memory)
{
    while (framePointer != 0 && m_entries.size() < kMaxEntries) {
        uintptr_t callerFrame = 0;
        uintptr_t returnAddress = 0;
        if (!memory.readWord(framePointer, &callerFrame)
            || !memory.readWord(framePointer + sizeof(uintptr_t), &returnAddress))
            break;
        append(returnAddress);
        if (returnAddress == 0)
            break;
        // Callers' frames lie above; anything else is a broken or looping chain.
        if (callerFrame != 0 && callerFrame <= framePointer)
            break;
        framePointer = callerFrame;
    }
    return m_entries;
}

bool CallStack::unwind(const void* handlerContext)
{
    if (!handlerContext)
        return false;
    // The faulting thread waits in its handler, so the context and every
    // frame above it stay as they were while this thread reads them.
    auto* context = static_cast<unw_context_t*>(const_cast<void*>(handlerContext));
    unw_cursor_t cursor;
    if (unw_init_local(&cursor, context) != 0)
        return false;
    do {
        unw_word_t ip = 0;
        if (unw_get_reg(&cursor, UNW_REG_IP, &ip) != 0 || ip == 0)
            break;
        append(static_cast<uintptr_t>(ip));
    } while (m_entries.size() < kMaxEntries && unw_step(&cursor) > 0);
    // Not past the handler's own two frames: the walk failed.
    if (m_entries.size() > 2)
        return true;
    m_entries.clear();
    return false;
}

const std::vector<StackFrame>& CallStack::capture(const platform::FaultInformation& fault)
{
    if (s_walk.load() == Walk::Unwind && unwind(fault.handlerContext))
        return m_entries;
    for (uintptr_t address : fault.handlerFrames)
        append(address);
    append(platform::programCounterOf(fault.context));
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
