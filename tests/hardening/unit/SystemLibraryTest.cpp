// Libraries Setup binds itself come from the system directory by full path:
// the shared loader and the delay-load helper's hook that uses it.
#include "ovlib/LoadSystemLibrary.h"
#include "setup/CSafeDllSearch.h"

#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/support/CTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing_support::CTestFolder;

struct LoaderRecord {
    std::wstring systemFolder;  // empty: the real one
    bool systemFolderFails = false;
    std::vector<std::wstring> loads;
};
LoaderRecord g_loader;

decltype(&GetSystemDirectoryW) RealGetSystemDirectoryW;
decltype(&LoadLibraryExW) RealLoadLibraryExW;

UINT WINAPI FakeGetSystemDirectoryW(LPWSTR buffer, UINT size)
{
    if (g_loader.systemFolderFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (g_loader.systemFolder.empty())
        return RealGetSystemDirectoryW(buffer, size);
    const UINT length = static_cast<UINT>(g_loader.systemFolder.size());
    if (length >= size)
        return length + 1;
    lstrcpyW(buffer, g_loader.systemFolder.c_str());
    return length;
}

HMODULE WINAPI FakeLoadLibraryExW(LPCWSTR path, HANDLE file, DWORD flags)
{
    g_loader.loads.emplace_back(path ? path : L"(null)");
    return RealLoadLibraryExW(path, file, flags);
}

std::wstring SystemFolder()
{
    wchar_t folder[MAX_PATH];
    return std::wstring(folder, RealGetSystemDirectoryW(folder, MAX_PATH));
}

class SystemLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_loader = LoaderRecord{};
        m_hooks.Add("kernel32.dll", "GetSystemDirectoryW", &FakeGetSystemDirectoryW, RealGetSystemDirectoryW);
        m_hooks.Add("kernel32.dll", "LoadLibraryExW", &FakeLoadLibraryExW, RealLoadLibraryExW);
    }
    void TearDown() override { m_hooks.Clear(); }

    CHookSet m_hooks;
};

TEST_F(SystemLoaderTest, LoadsTheSystemsCopyByItsFullPath)
{
    const ovLib::CLibrary library = ovLib::LoadSystemLibrary(L"version.dll");

    ASSERT_TRUE(library.valid());
    const std::wstring path = SystemFolder() + L"\\version.dll";
    EXPECT_EQ(std::vector<std::wstring>{path}, g_loader.loads);
    EXPECT_EQ(GetModuleHandleW(path.c_str()), library.get());
}

fs::path ProgramFolder()
{
    wchar_t path[MAX_PATH];
    return fs::path(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH))).parent_path();
}

// A system library's own imports that are not KnownDLLs are looked up by
// name. Here the system folder holds a library that imports the marking test
// library, and the program's folder a copy of that one planted beside it.
TEST_F(SystemLoaderTest, TakesALibrarysOwnImportsFromTheSystemFolderNotFromBesideTheProgram)
{
    const CTestFolder system;
    const fs::path planted = ProgramFolder() / L"hardening-planted.dll";
    for (const wchar_t* name : {L"hardening-importer.dll", L"hardening-planted.dll"})
        fs::copy_file(ProgramFolder() / name, fs::path(system.Path()) / name);
    std::error_code ignored;
    fs::remove(planted.wstring() + L".loaded", ignored);
    g_loader.systemFolder = system.Path();

    const ovLib::CLibrary library = ovLib::LoadSystemLibrary(L"hardening-importer.dll");

    ASSERT_TRUE(library.valid()) << "error " << GetLastError();
    EXPECT_TRUE(fs::exists(system.File(L"hardening-planted.dll.loaded"))) << "the genuine import was not loaded";
    EXPECT_FALSE(fs::exists(planted.wstring() + L".loaded")) << "the copy beside the program was loaded";
}

// Folders whose joined path needs exactly MAX_PATH units or one less.
struct LengthCase {
    std::string name;
    std::size_t folderLength;
    bool asked;
};

void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.name;
}

class SystemLoaderLengthTest : public SystemLoaderTest, public testing::WithParamInterface<LengthCase> {};

// A cut path would name another file; a path that does not fit is not tried.
TEST_P(SystemLoaderLengthTest, TriesOnlyAPathThatFits)
{
    const std::wstring name = L"version.dll";
    g_loader.systemFolder = L"C:\\" + std::wstring(GetParam().folderLength - 3, L'f');

    const ovLib::CLibrary library = ovLib::LoadSystemLibrary(name.c_str());
    const DWORD error = GetLastError();

    EXPECT_FALSE(library.valid());
    if (GetParam().asked) {
        EXPECT_EQ(std::vector<std::wstring>{g_loader.systemFolder + L"\\" + name}, g_loader.loads);
    } else {
        EXPECT_TRUE(g_loader.loads.empty());
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), error);
    }
}

// "version.dll" is 11 units; with the backslash and the terminator 13 more.
INSTANTIATE_TEST_SUITE_P(Folders, SystemLoaderLengthTest,
                         testing::Values(LengthCase{"Fits", MAX_PATH - 13, true},
                                         LengthCase{"OneUnitTooLong", MAX_PATH - 12, false},
                                         LengthCase{"FolderFillsTheBuffer", MAX_PATH - 1, false}),
                         CaseName());

TEST_F(SystemLoaderTest, WithoutASystemFolderLoadsNothing)
{
    g_loader.systemFolderFails = true;

    const bool loaded = ovLib::LoadSystemLibrary(L"version.dll").valid();
    const DWORD error = GetLastError();

    EXPECT_FALSE(loaded);
    EXPECT_TRUE(g_loader.loads.empty());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), error);
}

// The delay-load helper's hook.
TEST_F(SystemLoaderTest, DelayLoadedLibraryComesFromTheSystemFolder)
{
    DelayLoadInfo info = {};
    info.cb = sizeof(info);
    info.szDll = "version.dll";

    const FARPROC answer = CSafeDllSearch::OnDelayLoad(dliNotePreLoadLibrary, &info);

    ASSERT_NE(nullptr, answer);
    const std::wstring path = SystemFolder() + L"\\version.dll";
    EXPECT_EQ(std::vector<std::wstring>{path}, g_loader.loads);
    EXPECT_EQ(reinterpret_cast<FARPROC>(GetModuleHandleW(path.c_str())), answer);
    FreeLibrary(reinterpret_cast<HMODULE>(answer));
}

struct HookCase {
    std::string name;
    unsigned notification;
    const char* dll;
    bool withInfo;
};

void PrintTo(const HookCase& c, std::ostream* os)
{
    *os << c.name;
}

class DelayLoadPassTest : public SystemLoaderTest, public testing::WithParamInterface<HookCase> {};

TEST_P(DelayLoadPassTest, LeavesEveryOtherStepToTheHelper)
{
    const HookCase& c = GetParam();
    DelayLoadInfo info = {};
    info.cb = sizeof(info);
    info.szDll = c.dll;

    EXPECT_EQ(nullptr, CSafeDllSearch::OnDelayLoad(c.notification, c.withInfo ? &info : nullptr));

    EXPECT_TRUE(g_loader.loads.empty());
}

const std::string kLongName = std::string(MAX_PATH, 'x') + ".dll";

INSTANTIATE_TEST_SUITE_P(
    Steps, DelayLoadPassTest,
    testing::Values(HookCase{"StartProcessing", dliStartProcessing, "version.dll", true},
                    HookCase{"PreGetProcAddress", dliNotePreGetProcAddress, "version.dll", true},
                    HookCase{"FailLoadLib", dliFailLoadLib, "version.dll", true},
                    HookCase{"FailGetProc", dliFailGetProc, "version.dll", true},
                    HookCase{"EndProcessing", dliNoteEndProcessing, "version.dll", true}),
    CaseName());

class DelayLoadFailClosedTest : public SystemLoaderTest, public testing::WithParamInterface<HookCase> {};

// Given null, the helper would load the bare name from wherever the search
// finds it: a library that cannot come from the system folder ends the
// process with the helper's own exception instead.
TEST_P(DelayLoadFailClosedTest, NeverLeavesALoadThatFailedToTheHelper)
{
    const HookCase& c = GetParam();
    DelayLoadInfo info = {};
    info.cb = sizeof(info);
    info.szDll = c.dll;

    EXPECT_EXIT(CSafeDllSearch::OnDelayLoad(c.notification, c.withInfo ? &info : nullptr),
                testing::ExitedWithCode(static_cast<int>(CSafeDllSearch::kLoadFailed)), "");
}

INSTANTIATE_TEST_SUITE_P(
    Loads, DelayLoadFailClosedTest,
    testing::Values(HookCase{"NotInTheSystemFolder", dliNotePreLoadLibrary, "hardening-planted.dll", true},
                    HookCase{"NoInfo", dliNotePreLoadLibrary, nullptr, false},
                    HookCase{"NoName", dliNotePreLoadLibrary, nullptr, true},
                    HookCase{"NotAscii", dliNotePreLoadLibrary, "vers\xE9ion.dll", true},
                    HookCase{"LongerThanMaxPath", dliNotePreLoadLibrary, kLongName.c_str(), true}),
    CaseName());

} // namespace
