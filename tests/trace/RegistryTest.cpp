#include "trace/CRegistry.h"
#include "tests/ovlib/CAllocationFailure.h"
#include "tests/support/CTraceCapture.h"
#include "tests/trace/CTestKey.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CAllocationFailure;
using testing_support::CImportHook;
using testing_support::CTestKey;
using testing_support::CTraceCapture;

constexpr DWORD kSentinel = 0xCDCDCDCD;
constexpr wchar_t kPrevious[] = L"previous";

std::vector<BYTE> Bytes(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + size);
}

// The code units of text, each literal NUL included, without adding one.
template <std::size_t N>
std::vector<BYTE> Units(const wchar_t (&text)[N])
{
    return Bytes(text, (N - 1) * sizeof(wchar_t));
}

std::vector<std::wstring> LinesOf(const wchar_t* line)
{
    return line ? std::vector<std::wstring>{line} : std::vector<std::wstring>{};
}

constexpr wchar_t kNotText[] = L"ovLib::CRegistry::GetString(269) : dwType != REG_SZ\n";
constexpr wchar_t kOddSize[] = L"ovLib::CRegistry::GetString(277) : dwSize % sizeof(TCHAR) != 0\n";
constexpr wchar_t kNotNumber[] = L"ovLib::CRegistry::GetNumber(367) : dwType != REG_DWORD\n";

struct ValueCase {
    const char* name;
    bool present;
    DWORD type;
    std::vector<BYTE> data;

    bool stringRead;
    const wchar_t* text;  // what out holds afterwards
    const wchar_t* stringLine;
    LONG stringError;

    bool numberRead;
    bool directKnown;  // whether the direct form's destination is defined afterwards
    DWORD direct;      // the direct destination, starting from kSentinel
    const wchar_t* numberLine;
    LONG numberError;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

class RegistryValueTest : public testing::TestWithParam<ValueCase> {
protected:
    void SetUp() override
    {
        const ValueCase& c = GetParam();
        if (c.present)
            key.SetRaw(L"", L"value", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    }

    CTestKey key;
    CTraceCapture trace;
    ovLib::CRegistry reg;
};

TEST_P(RegistryValueTest, GetString)
{
    const ValueCase& c = GetParam();
    ovLib::CWideString out(kPrevious);
    EXPECT_EQ(c.stringRead, reg.GetString(L"value", out));
    EXPECT_STREQ(c.text, out);
    EXPECT_EQ(c.stringError, reg.LastError());
    EXPECT_EQ(LinesOf(c.stringLine), trace.Lines());
}

TEST_P(RegistryValueTest, GetNumberDirect)
{
    const ValueCase& c = GetParam();
    DWORD destination = kSentinel;
    EXPECT_EQ(c.numberRead, reg.GetNumber(L"value", &destination));
    if (c.directKnown) {
        EXPECT_EQ(c.direct, destination);
    }
    EXPECT_EQ(c.numberError, reg.LastError());
    EXPECT_EQ(LinesOf(c.numberLine), trace.Lines());
}

TEST_P(RegistryValueTest, GetNumberStagedChangesOnlyOnSuccess)
{
    const ValueCase& c = GetParam();
    DWORD out = kSentinel;
    EXPECT_EQ(c.numberRead, reg.GetNumber(L"value", out));
    EXPECT_EQ(c.numberRead ? c.direct : kSentinel, out);
    EXPECT_EQ(c.numberError, reg.LastError());
    EXPECT_EQ(LinesOf(c.numberLine), trace.Lines());
}

const DWORD kNumber = 0x12345678;
const unsigned long long kQuadWord = 0x0102030405060708ull;
const BYTE kFourBytes[] = {1, 2, 3, 4};
const BYTE kTwoBytes[] = {1, 2};
const BYTE kFiveBytes[] = {'a', 0, 'b', 0, 'c'};

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryValueTest,
    testing::Values(
        ValueCase{"Text", true, REG_SZ, Units(L"abc\0"), true, L"abc", nullptr, 0,
                  false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"OneCharacter", true, REG_SZ, Units(L"a\0"), true, L"a", nullptr, 0,
                  false, true, 0x00000061, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"Expandable", true, REG_EXPAND_SZ, Units(L"%TEMP%\\x\0"), true, L"%TEMP%\\x", nullptr, 0,
                  false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"EmptyText", true, REG_SZ, Units(L"\0"), true, L"", nullptr, 0,
                  false, true, 0xCDCD0000, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"ZeroSizeText", true, REG_SZ, {}, true, L"", nullptr, 0,
                  false, true, kSentinel, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"Unterminated", true, REG_SZ, Units(L"abcd"), true, L"abcd", nullptr, 0,
                  false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"EmbeddedNul", true, REG_SZ, Units(L"ab\0cd\0"), true, L"ab", nullptr, 0,
                  false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"OddSize", true, REG_SZ, Bytes(kFiveBytes, 5), false, kPrevious, kOddSize, ERROR_INVALID_DATA,
                  false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"MultiText", true, REG_MULTI_SZ, Units(L"a\0b\0\0"), false, kPrevious, kNotText,
                  ERROR_INVALID_DATA, false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"Number", true, REG_DWORD, Bytes(&kNumber, 4), false, kPrevious, kNotText, ERROR_INVALID_DATA,
                  true, true, kNumber, nullptr, 0},
        ValueCase{"QuadWord", true, REG_QWORD, Bytes(&kQuadWord, 8), false, kPrevious, kNotText,
                  ERROR_INVALID_DATA, false, false, 0, nullptr, ERROR_MORE_DATA},
        ValueCase{"FourBinaryBytes", true, REG_BINARY, Bytes(kFourBytes, 4), false, kPrevious, kNotText,
                  ERROR_INVALID_DATA, false, true, 0x04030201, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"TwoBinaryBytes", true, REG_BINARY, Bytes(kTwoBytes, 2), false, kPrevious, kNotText,
                  ERROR_INVALID_DATA, false, true, 0xCDCD0201, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"BigEndianNumber", true, REG_DWORD_BIG_ENDIAN, Bytes(&kNumber, 4), false, kPrevious, kNotText,
                  ERROR_INVALID_DATA, false, true, kNumber, kNotNumber, ERROR_INVALID_DATA},
        ValueCase{"Missing", false, REG_NONE, {}, false, kPrevious, nullptr, ERROR_FILE_NOT_FOUND,
                  false, true, kSentinel, nullptr, ERROR_FILE_NOT_FOUND}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

class RegistryTest : public testing::Test {
protected:
    CTestKey key;
    CAllocationFailure allocation;
    CTraceCapture trace;
    ovLib::CRegistry reg;
};

TEST_F(RegistryTest, MissingKeyIsInformation)
{
    const std::wstring path = key.Path() + L"\\missing";
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    EXPECT_FALSE(reg.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ));
    EXPECT_EQ(nullptr, reg.GetHandle());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.LastError());
    EXPECT_FALSE(reg.Close());
    EXPECT_THAT(trace.Lines(), ElementsAre(L"ovLib::CRegistry::Open(102) : RegOpenKeyEx() != ERROR_SUCCESS, " +
                                           path + L", 0x00000002\n"));
}

TEST_F(RegistryTest, OtherOpenFailuresAreErrors)
{
    EXPECT_FALSE(reg.Open(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)), L"Software", KEY_READ));
    EXPECT_EQ(ERROR_INVALID_HANDLE, reg.LastError());
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CRegistry::Open(106) : RegOpenKeyEx() != ERROR_SUCCESS, Software, 0x00000006\n"));
}

TEST_F(RegistryTest, CloseReleasesTheKey)
{
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    EXPECT_NE(nullptr, reg.GetHandle());
    EXPECT_TRUE(reg.Close());
    EXPECT_EQ(nullptr, reg.GetHandle());
    EXPECT_EQ(ERROR_SUCCESS, reg.LastError());
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(RegistryTest, MemoryFailureWhileReadingATextIsReported)
{
    key.SetString(L"", L"value", L"text");
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    ovLib::CWideString out;
    allocation.Arm(CAllocationFailure::Call::HeapAlloc);
    EXPECT_FALSE(reg.GetString(L"value", out));
    EXPECT_TRUE(allocation.Failed());
    EXPECT_EQ(ERROR_OUTOFMEMORY, reg.LastError());
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CRegistry::GetString(304) : OVCATCH : CAtlException, 0x8007000E\n"));
}

TEST_F(RegistryTest, EnumeratesNamesUntilNoMoreItems)
{
    key.SetNumber(L"", L"first", 1);
    key.SetNumber(L"", L"second", 2);
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    std::vector<std::wstring> names;
    wchar_t name[MAX_PATH];
    for (DWORD index = 0; reg.EnumValue(index, name, MAX_PATH) == ERROR_SUCCESS; ++index)
        names.push_back(name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, reg.LastError());
    EXPECT_THAT(names, testing::UnorderedElementsAre(L"first", L"second"));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, reg.EnumValue(7, name, MAX_PATH));
}

struct NameLengthCase {
    const char* name;
    std::size_t length;
    LONG result;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const NameLengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class EnumNameLengthTest : public testing::TestWithParam<NameLengthCase> {
protected:
    CTestKey key;
};

TEST_P(EnumNameLengthTest, NameMustFitWithItsTerminator)
{
    const std::wstring valueName(GetParam().length, L'n');
    key.SetNumber(L"", valueName.c_str(), 1);
    ovLib::CRegistry reg;
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    wchar_t name[MAX_PATH + 1] = {};
    EXPECT_EQ(GetParam().result, reg.EnumValue(0, name, MAX_PATH));
    EXPECT_EQ(GetParam().result, reg.LastError());
    if (GetParam().result == ERROR_SUCCESS) {
        EXPECT_EQ(valueName, name);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, EnumNameLengthTest,
                         testing::Values(NameLengthCase{"Fits", 259, ERROR_SUCCESS},
                                         NameLengthCase{"TooLong", 260, ERROR_MORE_DATA}),
                         [](const testing::TestParamInfo<NameLengthCase>& info) { return std::string(info.param.name); });

// RegQueryValueExW that lets the value grow just before the data is read.
CImportHook* g_queryHook = nullptr;
HKEY g_growingKey = nullptr;

LSTATUS WINAPI GrowBeforeReading(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (data && name && std::wcscmp(name, L"grows") == 0) {
        const wchar_t longer[] = L"a good deal longer than before";
        RegSetValueExW(g_growingKey, L"grows", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer), sizeof(longer));
    }
    using QueryFn = LSTATUS(WINAPI*)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    return g_queryHook->Original<QueryFn>()(key, name, reserved, type, data, size);
}

class GrowingValueTest : public RegistryTest {
protected:
    void SetUp() override
    {
        g_queryHook = &hook;
        g_growingKey = key.Handle();
    }

    CImportHook hook{"advapi32.dll", "RegQueryValueExW", reinterpret_cast<const void*>(&GrowBeforeReading)};
};

TEST_F(GrowingValueTest, SecondQueryFailsAndEmptiesTheText)
{
    key.SetString(L"", L"grows", L"short");
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_READ));
    ovLib::CWideString out(kPrevious);
    EXPECT_FALSE(reg.GetString(L"grows", out));
    EXPECT_STREQ(L"", out);
    EXPECT_EQ(ERROR_MORE_DATA, reg.LastError());
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CRegistry::GetString(298) : RegQueryValueEx() != ERROR_SUCCESS, 0x000000EA\n"));
}

} // namespace
