// Every library that Setup's own code loads while it runs, from the start-up
// objects to the end of Install, is named by its full path in the system
// directory; the start-up objects load nothing that was not loaded already.
#include "ovlib/COSInfo.h"
#include "ovlib/ProcAddress.h"
#include "setup/CInstaller.h"

#include "tests/hardening/support/CImportTable.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/CImportHook.h"
#include "tests/support/CTraceCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Load {
    std::wstring name;
    bool alreadyLoaded;
};
std::vector<Load> g_loads;

decltype(&LoadLibraryW) RealLoadLibraryW;
decltype(&LoadLibraryExW) RealLoadLibraryExW;
decltype(&LoadLibraryA) RealLoadLibraryA;
decltype(&LoadLibraryExA) RealLoadLibraryExA;

void Record(const std::wstring& name)
{
    g_loads.push_back({name, GetModuleHandleW(name.c_str()) != nullptr});
}

std::wstring Widen(LPCSTR name)
{
    return name ? std::wstring(name, name + lstrlenA(name)) : L"(null)";
}

HMODULE WINAPI FakeLoadLibraryW(LPCWSTR name)
{
    Record(name ? name : L"(null)");
    return RealLoadLibraryW(name);
}

HMODULE WINAPI FakeLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    Record(name ? name : L"(null)");
    return RealLoadLibraryExW(name, file, flags);
}

HMODULE WINAPI FakeLoadLibraryA(LPCSTR name)
{
    Record(Widen(name));
    return RealLoadLibraryA(name);
}

HMODULE WINAPI FakeLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    Record(Widen(name));
    return RealLoadLibraryExA(name, file, flags);
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH];
    return std::wstring(folder, GetSystemDirectoryW(folder, MAX_PATH));
}

class RunTimeLoadsTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_loads.clear();
        m_folder = fs::temp_directory_path() / (L"hardening-loads-" + std::to_wstring(GetCurrentProcessId()));
        fs::create_directories(m_folder);
        SetEnvironmentVariableW(L"TMP", m_folder.c_str());
        SetEnvironmentVariableW(L"TEMP", m_folder.c_str());
        SetEnvironmentVariableW(L"E2E_EXIT_CODE", L"3010");
        Hook("LoadLibraryW", &FakeLoadLibraryW, RealLoadLibraryW);
        Hook("LoadLibraryExW", &FakeLoadLibraryExW, RealLoadLibraryExW);
        Hook("LoadLibraryA", &FakeLoadLibraryA, RealLoadLibraryA);
        Hook("LoadLibraryExA", &FakeLoadLibraryExA, RealLoadLibraryExA);
    }

    void TearDown() override
    {
        m_hooks.clear();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // Only what the program imports: a load it cannot make needs no watching.
    template <class Function>
    void Hook(const char* name, Function fake, Function& real)
    {
        const auto dll = CImportTable::DllOf(name);
        real = ovLib::ProcAddress<Function>(GetModuleHandleW(L"kernel32.dll"), name);
        if (!dll)
            return;
        m_hooks.push_back(
            std::make_unique<testing_support::CImportHook>(dll->c_str(), name, reinterpret_cast<const void*>(fake)));
        real = m_hooks.back()->Original<Function>();
    }

    static void ExpectAllFromTheSystemFolder()
    {
        const std::wstring prefix = SystemFolder() + L"\\";
        for (const Load& load : g_loads)
            EXPECT_EQ(0, _wcsnicmp(prefix.c_str(), load.name.c_str(), prefix.size()))
                << "loaded by search: " << std::string(load.name.begin(), load.name.end());
    }

    fs::path m_folder;
    std::vector<std::unique_ptr<testing_support::CImportHook>> m_hooks;
    // NT 6.0, the one system Setup goes on on; or no answer at all.
    testing_support::CFakeVersion m_version{testing_support::kNt60, testing_support::CFakeVersion::Packed::FromSystem};
};

TEST_F(RunTimeLoadsTest, InstallWithTheTraceOnLoadsOnlyByFullPath)
{
    // The trace's configuration builds the kernel table.
    testing_support::CTraceCapture trace;
    DWORD exitCode = 0;

    EXPECT_TRUE(CInstaller().Install(L"/status", exitCode));

    EXPECT_EQ(3010u, exitCode) << "the payload did not run";
    EXPECT_GE(g_loads.size(), 2u) << "the kernel table and the probe each load the kernel";
    ExpectAllFromTheSystemFolder();
}

// The version snapshot is the one start-up object that may report; its report
// configures the trace, which builds the kernel table.
TEST_F(RunTimeLoadsTest, StartUpObjectsLoadNothingNewEvenWhenTheyReport)
{
    testing_support::CTraceCapture trace(testing_support::CTraceCapture::RecordOnly{});
    ovLib::COSInfo::initialized = false;
    m_version.queryFails = true;

    EXPECT_TRUE(ovLib::COSInfo::InitializeOSInfo());

    ASSERT_FALSE(g_loads.empty()) << "the report did not configure the trace";
    ExpectAllFromTheSystemFolder();
    for (const Load& load : g_loads)
        EXPECT_TRUE(load.alreadyLoaded) << std::string(load.name.begin(), load.name.end());
}

} // namespace
