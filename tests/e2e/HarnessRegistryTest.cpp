// The driver's registry and clock tools: a key holder that put back the wrong
// thing, or a clock span that held every moment, would hide real faults.
#include "tests/e2e/CClockSpan.h"
#include "tests/e2e/CRegistrySandbox.h"
#include "tests/e2e/CScopedRegistryKey.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using winRun::CRegistryLocation;
using winRun::CRegistryValue;

constexpr wchar_t kScratchParent[] = L"Software\\SetupE2E";

// A key of this test process's own, so that no lock is needed.
std::wstring ScratchKey()
{
    return std::wstring(kScratchParent) + L"\\Tree" + std::to_wstring(GetCurrentProcessId());
}

class HarnessRegistryKey : public testing::Test {
protected:
    // The parent goes only once no other test process has a key in it.
    ~HarnessRegistryKey() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, m_strKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kScratchParent);
    }

    CRegistryLocation At(const std::wstring& subKey, const std::wstring& name) const
    {
        return {HKEY_CURRENT_USER, subKey.empty() ? m_strKey : m_strKey + L"\\" + subKey, name};
    }

    std::optional<CRegistryValue> Read(const std::wstring& subKey, const std::wstring& name) const
    {
        return CRegistryValue::Read(At(subKey, name));
    }

    const std::wstring m_strKey = ScratchKey();
};

TEST_F(HarnessRegistryKey, TakesATreeAwayAndPutsItBack)
{
    CRegistryValue::String(L"top").Write(At(L"", L"Name"));
    CRegistryValue(REG_BINARY, {1, 2, 3}).Write(At(L"Child\\Grandchild", L"Bytes"));
    CRegistryValue::Dword(7).Write(At(L"Child", L""));
    {
        CScopedRegistryKey holder(HKEY_CURRENT_USER, m_strKey);
        EXPECT_FALSE(CScopedRegistryKey::Exists(HKEY_CURRENT_USER, m_strKey));
        CRegistryValue::Dword(1).Write(At(L"Child", L"Added"));
    }
    EXPECT_EQ(CRegistryValue::String(L"top"), Read(L"", L"Name"));
    EXPECT_EQ(CRegistryValue(REG_BINARY, {1, 2, 3}), Read(L"Child\\Grandchild", L"Bytes"));
    EXPECT_EQ(CRegistryValue::Dword(7), Read(L"Child", L""));
    EXPECT_FALSE(Read(L"Child", L"Added")) << "a value of the holder's lifetime stayed";
}

TEST_F(HarnessRegistryKey, LeavesNoKeyWhereThereWasNone)
{
    {
        CRegistrySandbox sandbox(HKEY_CURRENT_USER, m_strKey);
        sandbox.Set(L"Deep\\Er", L"Value", CRegistryValue::Dword(1));
        EXPECT_EQ(CRegistryValue::Dword(1), Read(L"Deep\\Er", L"Value"));
    }
    EXPECT_FALSE(CScopedRegistryKey::Exists(HKEY_CURRENT_USER, m_strKey));
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms = 0)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

struct SpanCase {
    const char* name;
    SYSTEMTIME stamp;
    ULONGLONG slackMs;
    bool bHeld;
};

void PrintTo(const SpanCase& c, std::ostream* os)
{
    *os << c.name;
}

class HarnessClockSpan : public testing::TestWithParam<SpanCase> {};

// The span runs from 23:59:58.500 to 23:59:59.200 on 31 December 2009.
TEST_P(HarnessClockSpan, HoldsOnlyMomentsWithinTheSlack)
{
    const CClockSpan span(At(2009, 12, 31, 23, 59, 58, 500), At(2009, 12, 31, 23, 59, 59, 200));
    EXPECT_EQ(GetParam().bHeld, span.Holds(GetParam().stamp, GetParam().slackMs));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HarnessClockSpan,
    testing::Values(SpanCase{"Inside", At(2009, 12, 31, 23, 59, 59, 0), 0, true},
                    SpanCase{"WholeSecondBeforeWithSlack", At(2009, 12, 31, 23, 59, 58), 1000, true},
                    SpanCase{"WholeSecondBeforeWithoutSlack", At(2009, 12, 31, 23, 59, 58), 0, false},
                    SpanCase{"JustAfter", At(2009, 12, 31, 23, 59, 59, 300), 50, false},
                    SpanCase{"ADayEarlier", At(2009, 12, 30, 23, 59, 59), 1000, false},
                    SpanCase{"AYearLater", At(2010, 12, 31, 23, 59, 59), 1000, false},
                    SpanCase{"NoSuchMonth", At(2009, 13, 31, 23, 59, 59), 1000, false}),
    [](const testing::TestParamInfo<SpanCase>& info) { return std::string(info.param.name); });

TEST(HarnessClockSpanNextDay, CrossesTheYear)
{
    const SYSTEMTIME next = CClockSpan::NextDay(At(2009, 12, 31, 0, 0, 1));
    EXPECT_EQ(2010, next.wYear);
    EXPECT_EQ(1, next.wMonth);
    EXPECT_EQ(1, next.wDay);
    EXPECT_EQ(1, next.wSecond);
}

} // namespace
