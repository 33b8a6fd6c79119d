#include "ovlib/CModule.h"
#include "tests/support/CTraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CTraceCapture;

// Libraries this test program does not load by itself.
constexpr wchar_t kFirstLibrary[] = L"msimg32.dll";
constexpr wchar_t kSecondLibrary[] = L"wtsapi32.dll";

bool IsInProcess(const wchar_t* name)
{
    return GetModuleHandleW(name) != nullptr;
}

class CModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(IsInProcess(kFirstLibrary));
        ASSERT_FALSE(IsInProcess(kSecondLibrary));
    }

    CTraceCapture trace;
};

TEST_F(CModuleTest, OwnsTheLibraryItLoaded)
{
    {
        ovLib::CModule module;
        ASSERT_TRUE(module.Load(kFirstLibrary));
        EXPECT_TRUE(module.IsLoaded());
        EXPECT_TRUE(IsInProcess(kFirstLibrary));
    }
    EXPECT_FALSE(IsInProcess(kFirstLibrary));
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(CModuleTest, LoadReleasesTheLibraryHeldBefore)
{
    ovLib::CModule module;
    ASSERT_TRUE(module.Load(kFirstLibrary));
    ASSERT_TRUE(module.Load(kSecondLibrary));
    EXPECT_FALSE(IsInProcess(kFirstLibrary));
    EXPECT_TRUE(IsInProcess(kSecondLibrary));
    module.Unload();
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_FALSE(IsInProcess(kSecondLibrary));
}

TEST_F(CModuleTest, MissingLibraryIsReportedWithPathAndCode)
{
    ovLib::CModule module;
    ASSERT_TRUE(module.Load(kFirstLibrary));
    EXPECT_FALSE(module.Load(L"C:\\no such folder\\none.dll"));
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_FALSE(IsInProcess(kFirstLibrary));
    EXPECT_THAT(trace.Lines(), ElementsAre(L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, "
                                           L"C:\\no such folder\\none.dll, 0x0000007E\n"));
}

TEST_F(CModuleTest, FindsAnExport)
{
    ovLib::CModule module;
    ASSERT_TRUE(module.Load(L"kernel32.dll"));
    EXPECT_EQ(reinterpret_cast<FARPROC>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount")),
              module.GetProc("GetTickCount"));
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(CModuleTest, MissingExportIsAWarningWithNameAndCode)
{
    ovLib::CModule module;
    ASSERT_TRUE(module.Load(L"kernel32.dll"));
    EXPECT_EQ(nullptr, module.GetProc("NoSuchExport"));
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CModule::GetProc(143) : GetProcAddress() == NULL, NoSuchExport, 0x0000007F\n"));
}

TEST_F(CModuleTest, NullExportNameIsAnError)
{
    ovLib::CModule module;
    ASSERT_TRUE(module.Load(L"kernel32.dll"));
    EXPECT_EQ(nullptr, module.GetProc(nullptr));
    EXPECT_THAT(trace.Lines(), ElementsAre(L"ovLib::CModule::GetProc(135) : szProcName == NULL\n"));
}

} // namespace
