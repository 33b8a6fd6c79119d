// The wide string's own promises: copies share storage until one changes, an
// append may take its text from the string itself, growth stops at the limit
// before the heap is asked, and an operation that runs out of memory throws
// and leaves the string as it was.
#include "ovlib/CAtlException.h"
#include "ovlib/CWideString.h"
#include "tests/ovlib/CAllocationFailure.h"
#include "tests/support/CImportHook.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

using ovLib::CWideString;
using testing_support::CAllocationFailure;
using testing_support::CImportHook;
using Call = CAllocationFailure::Call;

using Operation = void (*)(CWideString& text);

// What an operation threw; S_OK when it threw nothing.
HRESULT Thrown(Operation operation, CWideString& text)
{
    try {
        operation(text);
    } catch (const ovLib::CAtlException& e) {
        return e;
    }
    return S_OK;
}

void Format(CWideString& text, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
}

// The string's heap calls, counted; a block that grows always moves, and
// every block given back is overwritten first, so that text read from a
// block after it is gone shows.
class CPoisonedHeap {
public:
    CPoisonedHeap()
    {
        s_realAlloc = m_alloc.Original<HeapAllocFn>();
        s_realReAlloc = m_reAlloc.Original<HeapReAllocFn>();
        s_realFree = m_free.Original<HeapFreeFn>();
        s_requests = 0;
    }

    // HeapAlloc and HeapReAlloc calls so far.
    int Requests() const { return s_requests; }

private:
    using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
    using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
    using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);

    static void Poison(HANDLE heap, LPVOID block) { std::memset(block, 0xCD, HeapSize(heap, 0, block)); }

    static LPVOID WINAPI Alloc(HANDLE heap, DWORD flags, SIZE_T bytes)
    {
        ++s_requests;
        return s_realAlloc(heap, flags, bytes);
    }
    static LPVOID WINAPI ReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes)
    {
        ++s_requests;
        LPVOID moved = s_realAlloc(heap, flags, bytes);
        if (!moved)
            return nullptr;
        const SIZE_T old = HeapSize(heap, 0, block);
        std::memcpy(moved, block, old < bytes ? old : bytes);
        Poison(heap, block);
        s_realFree(heap, 0, block);
        return moved;
    }
    static BOOL WINAPI Free(HANDLE heap, DWORD flags, LPVOID block)
    {
        Poison(heap, block);
        return s_realFree(heap, flags, block);
    }

    static inline HeapAllocFn s_realAlloc = nullptr;
    static inline HeapReAllocFn s_realReAlloc = nullptr;
    static inline HeapFreeFn s_realFree = nullptr;
    static inline int s_requests = 0;

    CImportHook m_alloc{"kernel32.dll", "HeapAlloc", reinterpret_cast<const void*>(&Alloc)};
    CImportHook m_reAlloc{"kernel32.dll", "HeapReAlloc", reinterpret_cast<const void*>(&ReAlloc)};
    CImportHook m_free{"kernel32.dll", "HeapFree", reinterpret_cast<const void*>(&Free)};
};

// ---- Copies share storage until one of them changes ----

struct ChangeCase {
    const char* name;
    Operation change;
    const wchar_t* changed;
};

void PrintTo(const ChangeCase& c, std::ostream* os)
{
    *os << c.name;
}

class CopyOnWriteTest : public testing::TestWithParam<ChangeCase> {
protected:
    CPoisonedHeap heap;
};

TEST_P(CopyOnWriteTest, ChangesOnlyTheCopyItIsMadeOn)
{
    const CWideString original(L"\\shared\\");
    CWideString copy;
    copy = original;
    ASSERT_EQ(original.GetString(), copy.GetString()) << "the copy has storage of its own";

    GetParam().change(copy);

    EXPECT_STREQ(L"\\shared\\", original);
    EXPECT_EQ(8, original.GetLength());
    EXPECT_STREQ(GetParam().changed, copy);
    EXPECT_NE(original.GetString(), copy.GetString());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CopyOnWriteTest,
    testing::Values(ChangeCase{"Append", [](CWideString& s) { s.Append(L"x"); }, L"\\shared\\x"},
                    ChangeCase{"AppendChar", [](CWideString& s) { s.AppendChar(L'x'); }, L"\\shared\\x"},
                    ChangeCase{"AppendFormat", [](CWideString& s) { s.AppendFormat(L"%d", 7); }, L"\\shared\\7"},
                    ChangeCase{"FormatV", [](CWideString& s) { Format(s, L"%d", 7); }, L"7"},
                    ChangeCase{"AssignText", [](CWideString& s) { s = L"other"; }, L"other"},
                    ChangeCase{"GetBuffer",
                               [](CWideString& s) {
                                   s.GetBuffer(8)[0] = L'/';
                                   s.ReleaseBuffer();
                               },
                               L"/shared\\"},
                    ChangeCase{"Truncate", [](CWideString& s) { s.Truncate(3); }, L"\\sh"},
                    ChangeCase{"TrimLeft", [](CWideString& s) { s.TrimLeft(L'\\'); }, L"shared\\"},
                    ChangeCase{"TrimRight", [](CWideString& s) { s.TrimRight(L'\\'); }, L"\\shared"},
                    ChangeCase{"Empty", [](CWideString& s) { s.Empty(); }, L""}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

TEST(CopyOnWrite, TheLastCopyKeepsTheStorage)
{
    CPoisonedHeap heap;
    CWideString survivor;
    {
        CWideString original(L"kept");
        const CWideString copy(original);
        survivor = copy;
    }
    EXPECT_STREQ(L"kept", survivor);
}

// ---- An append whose text lies in the string's own storage ----

struct SelfAppendCase {
    const char* name;
    Operation append;
    std::wstring appended;
};

std::wstring Repeated(const std::wstring& text, int times)
{
    std::wstring repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

void PrintTo(const SelfAppendCase& c, std::ostream* os)
{
    *os << c.name;
}

class SelfAppendTest : public testing::TestWithParam<SelfAppendCase> {
protected:
    CPoisonedHeap heap;
};

// The storage is sized exactly, so each of these appends moves it.
TEST_P(SelfAppendTest, ReadsTheTextBeforeTheStorageMoves)
{
    CWideString text(L"abc");
    const int requests = heap.Requests();
    GetParam().append(text);
    EXPECT_EQ(GetParam().appended, text.GetString());
    EXPECT_LT(requests, heap.Requests()) << "the storage did not grow";
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SelfAppendTest,
    testing::Values(SelfAppendCase{"Whole", [](CWideString& s) { s.Append(s); }, L"abcabc"},
                    SelfAppendCase{"Tail", [](CWideString& s) { s.Append(s.GetString() + 1); }, L"abcbc"},
                    SelfAppendCase{"Head", [](CWideString& s) { s.Append(s.GetString(), 2); }, L"abcab"},
                    SelfAppendCase{"WhileShared",
                                   [](CWideString& s) {
                                       const CWideString copy(s);
                                       s.Append(s);
                                   },
                                   L"abcabc"},
                    SelfAppendCase{"TenTimes",
                                   [](CWideString& s) {
                                       for (int i = 0; i < 10; ++i)
                                           s.Append(s);
                                   },
                                   Repeated(L"abc", 1024)}),
    [](const testing::TestParamInfo<SelfAppendCase>& info) { return std::string(info.param.name); });

// ---- Growth past the limit of 0x3FFFFFFF units ----

struct LimitCase {
    const char* name;
    Operation grow;
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

class GrowthLimitTest : public testing::TestWithParam<LimitCase> {
protected:
    CPoisonedHeap heap;
};

TEST_P(GrowthLimitTest, ThrowsOutOfMemoryWithoutAskingTheHeap)
{
    CWideString text(L"ab");
    const wchar_t* const storage = text.GetString();
    const int requests = heap.Requests();

    EXPECT_EQ(E_OUTOFMEMORY, Thrown(GetParam().grow, text));

    EXPECT_EQ(requests, heap.Requests());
    EXPECT_STREQ(L"ab", text);
    EXPECT_EQ(storage, text.GetString());
}

// The text of these appends is never read: a long enough one would not fit
// in memory.
INSTANTIATE_TEST_SUITE_P(
    Requests, GrowthLimitTest,
    testing::Values(LimitCase{"AppendOnePastTheLimit", [](CWideString& s) { s.Append(L"x", 0x3FFFFFFE); }},
                    LimitCase{"AppendWhoseSumOverflows", [](CWideString& s) { s.Append(L"x", INT_MAX); }},
                    LimitCase{"FormatPastTheLimit", [](CWideString& s) { s.AppendFormat(L"%*s", 0x3FFFFFFE, L""); }},
                    LimitCase{"FormatWhoseSumOverflows",
                              [](CWideString& s) { s.AppendFormat(L"%*s", INT_MAX - 1, L""); }},
                    LimitCase{"BufferPastTheLimit", [](CWideString& s) { s.GetBuffer(0x40000000); }}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

// ---- Out of memory in every operation that needs storage ----

struct MemoryCase {
    const char* name;
    Call call;  // the heap call that fails
    bool shared;
    Operation operation;
};

void PrintTo(const MemoryCase& c, std::ostream* os)
{
    *os << c.name;
}

class OutOfMemoryTest : public testing::TestWithParam<MemoryCase> {
protected:
    CAllocationFailure allocation;
};

TEST_P(OutOfMemoryTest, ThrowsAndLeavesTheStringAsItWas)
{
    const MemoryCase& c = GetParam();
    CWideString text(L"text");
    CWideString copy;
    if (c.shared)
        copy = text;
    const wchar_t* const storage = text.GetString();

    allocation.Arm(c.call);
    EXPECT_EQ(E_OUTOFMEMORY, Thrown(c.operation, text));

    EXPECT_TRUE(allocation.Failed()) << "the operation did not ask for the storage";
    EXPECT_STREQ(L"text", text);
    EXPECT_EQ(4, text.GetLength());
    EXPECT_EQ(storage, text.GetString());
    if (c.shared) {
        EXPECT_EQ(storage, copy.GetString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, OutOfMemoryTest,
    testing::Values(
        MemoryCase{"Construct", Call::HeapAlloc, false, [](CWideString&) { CWideString fresh(L"fresh"); }},
        MemoryCase{"AssignText", Call::HeapAlloc, false, [](CWideString& s) { s = L"other"; }},
        MemoryCase{"FormatV", Call::HeapAlloc, false, [](CWideString& s) { Format(s, L"%d", 7); }},
        MemoryCase{"AppendGrows", Call::HeapReAlloc, false, [](CWideString& s) { s.Append(L"x"); }},
        MemoryCase{"AppendCharGrows", Call::HeapReAlloc, false, [](CWideString& s) { s.AppendChar(L'x'); }},
        MemoryCase{"AppendFormatGrows", Call::HeapReAlloc, false, [](CWideString& s) { s.AppendFormat(L"%d", 7); }},
        MemoryCase{"GetBufferGrows", Call::HeapReAlloc, false, [](CWideString& s) { s.GetBuffer(64); }},
        MemoryCase{"AppendShared", Call::HeapAlloc, true, [](CWideString& s) { s.Append(L"x"); }},
        MemoryCase{"AppendCharShared", Call::HeapAlloc, true, [](CWideString& s) { s.AppendChar(L'x'); }},
        MemoryCase{"AppendFormatShared", Call::HeapAlloc, true, [](CWideString& s) { s.AppendFormat(L"%d", 7); }},
        MemoryCase{"GetBufferShared", Call::HeapAlloc, true, [](CWideString& s) { s.GetBuffer(2); }},
        MemoryCase{"TruncateShared", Call::HeapAlloc, true, [](CWideString& s) { s.Truncate(2); }},
        MemoryCase{"TrimLeftShared", Call::HeapAlloc, true, [](CWideString& s) { s.TrimLeft(L't'); }},
        MemoryCase{"TrimRightShared", Call::HeapAlloc, true, [](CWideString& s) { s.TrimRight(L't'); }}),
    [](const testing::TestParamInfo<MemoryCase>& info) { return std::string(info.param.name); });

} // namespace
