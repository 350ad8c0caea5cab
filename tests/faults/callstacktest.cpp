// The frame-pointer walk on stacks laid out at made-up addresses; the call stack text.

#include "diagnostics/callstack.h"
#include "diagnostics/callstackmemory.h"

#include <gtest/gtest.h>
#include <map>

using namespace com::corvane::vesk;
using Addresses = std::vector<uintptr_t>;

namespace {

// A stack at made-up addresses: only the frames put here can be read.
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
        const auto it = m_words.find(address);
        return contains(address) && it != m_words.end() && (*word = it->second, true);
    }

private:
    std::map<uintptr_t, uintptr_t> m_words;
};

Addresses walk(const FakeStack& memory, uintptr_t from = 0x10100)
{
    CallStack stack;
    Addresses out;
    for (const StackFrame& f : stack.capture(from, memory))
        out.push_back(f.address);
    return out;
}

TEST(CallStackMemory, readsOnlyAlignedWordsWhollyInsideItsBounds)
{
    uintptr_t words[4] = {11, 22, 33, 44};
    const auto low = reinterpret_cast<uintptr_t>(&words[1]);
    const CallStackMemory memory(low, low + 2 * sizeof(uintptr_t) + 4);
    uintptr_t word = 0;
    EXPECT_TRUE(memory.readWord(low + sizeof(uintptr_t), &word));
    EXPECT_EQ(word, 33u);
    EXPECT_FALSE(memory.readWord(low - sizeof(uintptr_t), &word));      // below
    EXPECT_FALSE(memory.readWord(low + 2 * sizeof(uintptr_t), &word));  // straddles the end
    EXPECT_FALSE(memory.readWord(low + 1, &word));                      // misaligned
    EXPECT_FALSE(CallStackMemory(0, 0).readWord(low, &word));           // bounds unknown
}

TEST(CallStackWalk, followsTheChainToItsEndAndStopsWhereItBreaks)
{
    FakeStack memory;
    memory.frame(0x10100, 0x10200, 0x401000);
    memory.frame(0x10200, 0x10300, 0x402000);
    memory.frame(0x10300, 0, 0x403000);
    EXPECT_EQ(walk(memory), (Addresses{0x401000, 0x402000, 0x403000}));
    memory.frame(0x10200, 0x10300, 0);
    EXPECT_EQ(walk(memory), (Addresses{0x401000, 0})) << "a return address 0 ends it";
    const std::pair<const char*, uintptr_t> breaks[] = {{"outside the stack", 0x7fff0000},
                                                        {"misaligned", 0x10203},
                                                        {"back to itself", 0x10100},
                                                        {"below the frame", 0x10080},
                                                        {"unreadable", 0x10400}};
    for (const auto& c : breaks) {
        FakeStack broken;
        broken.frame(0x10100, c.second, 0x401000);
        broken.frame(0x10080, 0x10100, 0x409000);  // would loop back
        EXPECT_EQ(walk(broken), (Addresses{0x401000})) << c.first;
    }
    EXPECT_TRUE(walk(FakeStack(), 0xdead0000).empty());
}

TEST(CallStack, keepsOneHundredEntriesDropsTheInnermostAndCutsTheTextAfterAWholeEntry)
{
    FakeStack memory;
    for (uintptr_t i = 0; i < 150; ++i)
        memory.frame(0x10000 + i * 0x40, i < 149 ? 0x10040 + i * 0x40 : 0, 0x400000 + i);
    CallStack stack;
    EXPECT_EQ(stack.capture(0x10000, memory).size(), 100u);
    stack.removeInnermost(2);
    EXPECT_EQ(stack.entries().size(), 98u);
    EXPECT_EQ(stack.entries().front().address, 0x400002u);
    const std::wstring text = stack.text(3999);
    const size_t entry = text.find(L"</StackFrame>\n") + 14 - text.find(L"<StackFrame>");
    EXPECT_LE(text.size(), 3999u);
    EXPECT_GT(text.size() + entry, 3999u) << "room for one more entry was left";
    EXPECT_EQ(text.substr(text.size() - 27), L"</StackFrame>\n</CallStack>\n");
    stack.removeInnermost(200);
    EXPECT_EQ(stack.text(3999), L"<CallStack>\n</CallStack>\n");
}

}  // namespace
