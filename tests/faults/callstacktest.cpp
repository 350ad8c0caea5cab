// The frame-pointer walk on stacks laid out in memory, and the call stack text.

#include "diagnostics/callstack.h"
#include "diagnostics/callstackmemory.h"
#include "platform/stackbounds.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

using namespace com::corvane::vesk;

namespace {

// A stack at made-up addresses: only the words put here can be read.
class FakeStack : public CallStackMemory {
public:
    FakeStack()
        : CallStackMemory(0x10000, 0x20000)
    {
    }
    // A frame at address: the caller's frame pointer, then the return address.
    void frame(uintptr_t address, uintptr_t caller, uintptr_t returnAddress)
    {
        m_words[address] = caller;
        m_words[address + sizeof(uintptr_t)] = returnAddress;
    }
    bool readWord(uintptr_t address, uintptr_t* word) const override
    {
        ++reads;
        const auto it = m_words.find(address);
        if (!contains(address) || it == m_words.end())
            return false;
        *word = it->second;
        return true;
    }
    mutable int reads = 0;

private:
    std::map<uintptr_t, uintptr_t> m_words;
};

std::vector<uintptr_t> addresses(const CallStack& stack)
{
    std::vector<uintptr_t> out;
    for (const StackFrame& f : stack.entries())
        out.push_back(f.address);
    return out;
}

TEST(CallStackMemory, readsOnlyAlignedWordsWhollyInsideItsBounds)
{
    uintptr_t words[4] = {11, 22, 33, 44};
    const auto low = reinterpret_cast<uintptr_t>(&words[1]);
    const CallStackMemory memory(low, low + 2 * sizeof(uintptr_t) + 4);
    uintptr_t word = 0;
    EXPECT_TRUE(memory.readWord(low, &word));
    EXPECT_EQ(word, 22u);
    EXPECT_TRUE(memory.readWord(low + sizeof(uintptr_t), &word));
    EXPECT_EQ(word, 33u);
    EXPECT_FALSE(memory.readWord(low - sizeof(uintptr_t), &word));      // below
    EXPECT_FALSE(memory.readWord(low + 2 * sizeof(uintptr_t), &word));  // straddles the end
    EXPECT_FALSE(memory.readWord(low + 1, &word));                       // misaligned
    EXPECT_FALSE(CallStackMemory(0, 0).readWord(low, &word));            // bounds unknown
}

TEST(CallStackWalk, followsTheChainUpToTheOutermostFrame)
{
    FakeStack memory;
    memory.frame(0x10100, 0x10200, 0x401000);
    memory.frame(0x10200, 0x10300, 0x402000);
    memory.frame(0x10300, 0, 0x403000);
    CallStack stack;
    stack.capture(0x10100, memory);
    EXPECT_EQ(addresses(stack), (std::vector<uintptr_t>{0x401000, 0x402000, 0x403000}));
    EXPECT_EQ(stack.entries()[0].moduleName, L"N/A - (Current Application)");
    EXPECT_EQ(stack.entries()[0].symbolName, L"N/A");
    EXPECT_EQ(stack.entries()[0].lineNumber, 0);
}

TEST(CallStackWalk, returnAddressZeroEndsTheWalkAndKeepsItsEntry)
{
    FakeStack memory;
    memory.frame(0x10100, 0x10200, 0x401000);
    memory.frame(0x10200, 0x10300, 0);
    memory.frame(0x10300, 0, 0x403000);
    CallStack stack;
    stack.capture(0x10100, memory);
    EXPECT_EQ(addresses(stack), (std::vector<uintptr_t>{0x401000, 0}));
}

TEST(CallStackWalk, brokenChainsEndWithoutReadingOutsideTheStack)
{
    struct Case {
        const char* what;
        uintptr_t next;
    } cases[] = {{"outside the stack", 0x7fff0000}, {"misaligned", 0x10203},
                 {"back to itself", 0x10100},       {"below the frame", 0x10080},
                 {"unreadable", 0x10400}};
    for (const Case& c : cases) {
        FakeStack memory;
        memory.frame(0x10100, c.next, 0x401000);
        memory.frame(0x10080, 0x10100, 0x409000);  // would loop back
        CallStack stack;
        stack.capture(0x10100, memory);
        EXPECT_EQ(addresses(stack), (std::vector<uintptr_t>{0x401000})) << c.what;
        EXPECT_LE(memory.reads, 4) << c.what;
    }
    FakeStack memory;
    CallStack fromNowhere;
    fromNowhere.capture(0xdead0000, memory);
    EXPECT_TRUE(fromNowhere.empty());
}

TEST(CallStackWalk, capturesAtMostOneHundredEntries)
{
    FakeStack memory;
    for (uintptr_t i = 0; i < 150; ++i)
        memory.frame(0x10000 + i * 0x40, 0x10000 + (i + 1) * 0x40, 0x400000 + i);
    CallStack stack;
    stack.capture(0x10000, memory);
    EXPECT_EQ(stack.entries().size(), 100u);
    stack.removeInnermost(2);
    EXPECT_EQ(stack.entries().size(), 98u);
    EXPECT_EQ(stack.entries().front().address, 0x400002u);
    CallStack shortStack;
    memory.frame(0x1f000, 0, 0x401000);
    shortStack.capture(0x1f000, memory);
    shortStack.removeInnermost(2);
    EXPECT_TRUE(shortStack.empty());
}

TEST(CallStackWalk, walksTheRealStackOfThisThreadWithinItsBounds)
{
    uintptr_t low = 0, high = 0;
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    ASSERT_TRUE(platform::stackBoundsOf(here, &low, &high));
    EXPECT_LE(low, here);
    EXPECT_LT(here, high);
    CallStack stack;
    stack.capture(here, CallStackMemory(low, high));
    ASSERT_FALSE(stack.empty());
    EXPECT_EQ(stack.entries()[0].address,
              reinterpret_cast<uintptr_t>(__builtin_return_address(0)));

    // Another thread's stack is a mapping of its own.
    uintptr_t threadLow = 0, threadHigh = 0;
    std::thread([&] {
        const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        platform::stackBoundsOf(frame, &threadLow, &threadHigh);
    }).join();
    EXPECT_NE(threadLow, 0u);
    EXPECT_TRUE(threadHigh <= low || threadLow >= high);
}

TEST(CallStackText, writesEachEntryWithPointerWidthAddresses)
{
    FakeStack memory;
    memory.frame(0x10100, 0x10200, 0xABCDEF);
    memory.frame(0x10200, 0, 0);
    CallStack stack;
    stack.capture(0x10100, memory);
    const std::wstring digits(sizeof(uintptr_t) * 2 - 6, L'0');
    EXPECT_EQ(stack.text(3999),
              L"<CallStack>\n"
              L"<StackFrame><ModuleName>N/A - (Current Application)</ModuleName>\n"
              L"<SymbolName>N/A</SymbolName>\n"
              L"<Address>(0x" + digits + L"ABCDEF)</Address>\n"
              L"</StackFrame>\n"
              L"<StackFrame><ModuleName>N/A - (Current Application)</ModuleName>\n"
              L"<SymbolName>N/A</SymbolName>\n"
              L"</StackFrame>\n"
              L"</CallStack>\n");
    EXPECT_EQ(CallStack().text(3999), L"<CallStack>\n</CallStack>\n");
}

TEST(CallStackText, aLongStackIsCutAfterTheLastWholeEntryAndStillClosed)
{
    FakeStack memory;
    for (uintptr_t i = 0; i < 100; ++i)
        memory.frame(0x10000 + i * 0x40, 0x10000 + (i + 1) * 0x40, 0x400000 + i);
    CallStack stack;
    stack.capture(0x10000, memory);
    const std::wstring text = stack.text(3999);
    EXPECT_LE(text.size(), 3999u);
    EXPECT_EQ(text.substr(text.size() - 27), L"</StackFrame>\n</CallStack>\n");
    const std::size_t entry = 65 + 29 + 12 + sizeof(uintptr_t) * 2 + 12 + 14;
    EXPECT_EQ(text.size(), 12 + 13 + entry * ((3999 - 25) / entry));
}

}  // namespace
