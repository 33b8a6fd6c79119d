// Where libraries come from once Setup has restricted the search, and which
// system entry points the restriction uses.
#include "setup/CSafeDllSearch.h"

#include "tests/setup/CaseName.h"
#include "tests/support/CImportHook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What the fakes of the two search entry points saw.
struct SearchCalls {
    std::vector<std::string> calls;
    BOOL defaultResult = TRUE;
    BOOL directoryResult = TRUE;
};
SearchCalls g_calls;

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD flags)
{
    g_calls.calls.push_back("SetDefaultDllDirectories(" + std::to_string(flags) + ")");
    return g_calls.defaultResult;
}

BOOL WINAPI FakeSetDllDirectoryW(LPCWSTR path)
{
    g_calls.calls.push_back(std::string("SetDllDirectoryW(") + (!path ? "null" : *path ? "text" : "empty") + ")");
    return g_calls.directoryResult;
}

enum class Entry { Absent, Succeeds, Fails };

struct RestrictCase {
    std::string name;
    Entry setDefault;
    Entry setDirectory;
    std::vector<std::string> calls;
    bool restricted;
};

void PrintTo(const RestrictCase& c, std::ostream* os)
{
    *os << c.name;
}

const void* Fake(Entry entry, const void* fake)
{
    return entry == Entry::Absent ? nullptr : fake;
}

class RestrictCallsTest : public testing::TestWithParam<RestrictCase> {
protected:
    void SetUp() override { g_calls = SearchCalls{}; }
};

TEST_P(RestrictCallsTest, PrefersTheSystemDirectoryAloneAndFallsBackToDroppingTheCurrentFolder)
{
    const RestrictCase& c = GetParam();
    g_calls.defaultResult = c.setDefault == Entry::Succeeds;
    g_calls.directoryResult = c.setDirectory == Entry::Succeeds;
    testing_support::CProcAddressHook procs;
    procs.Override("SetDefaultDllDirectories",
                   Fake(c.setDefault, reinterpret_cast<const void*>(&FakeSetDefaultDllDirectories)));
    procs.Override("SetDllDirectoryW", Fake(c.setDirectory, reinterpret_cast<const void*>(&FakeSetDllDirectoryW)));

    EXPECT_EQ(c.restricted, CSafeDllSearch::Restrict());

    EXPECT_EQ(c.calls, g_calls.calls);
}

const std::string kSystemOnly = "SetDefaultDllDirectories(2048)";  // LOAD_LIBRARY_SEARCH_SYSTEM32
const std::string kNoCurrentFolder = "SetDllDirectoryW(empty)";

INSTANTIATE_TEST_SUITE_P(
    Systems, RestrictCallsTest,
    testing::Values(RestrictCase{"Updated", Entry::Succeeds, Entry::Succeeds, {kSystemOnly}, true},
                    RestrictCase{"UpdateRefuses", Entry::Fails, Entry::Succeeds, {kSystemOnly, kNoCurrentFolder}, true},
                    RestrictCase{"NotUpdated", Entry::Absent, Entry::Succeeds, {kNoCurrentFolder}, true},
                    RestrictCase{"NeitherWorks", Entry::Fails, Entry::Fails, {kSystemOnly, kNoCurrentFolder}, false},
                    RestrictCase{"NeitherExists", Entry::Absent, Entry::Absent, {}, false}),
    CaseName());

// The effect, with the real loader: a library of a name the system does not
// have, planted beside the program or in its current folder.
// Without the update only the current folder leaves the search, which Wine
// does not model; the calls for that case are checked above.
enum class Restriction { None, SystemDirectory };
enum class Place { Beside, CurrentFolder };

struct PlantCase {
    std::string name;
    Restriction restriction;
    Place place;
    bool loaded;
};

void PrintTo(const PlantCase& c, std::ostream* os)
{
    *os << c.name;
}

fs::path ProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(std::wstring(path, length)).parent_path();
}

class PlantedLibraryTest : public testing::TestWithParam<PlantCase> {
protected:
    void SetUp() override
    {
        const std::wstring unique = std::to_wstring(GetCurrentProcessId());
        m_folder = fs::temp_directory_path() / (L"hardening-cwd-" + unique);
        fs::create_directories(m_folder);
        m_name = L"hardening-planted-" + unique + L".dll";
        const fs::path folder = GetParam().place == Place::Beside ? ProgramFolder() : m_folder;
        m_copy = folder / m_name;
        fs::copy_file(ProgramFolder() / L"hardening-planted.dll", m_copy, fs::copy_options::overwrite_existing);
        ASSERT_TRUE(SetCurrentDirectoryW(m_folder.c_str()));
    }

    void TearDown() override
    {
        if (m_module)
            FreeLibrary(m_module);
        SetCurrentDirectoryW(ProgramFolder().c_str());
        std::error_code ignored;
        fs::remove(m_copy, ignored);
        fs::remove(m_copy.wstring() + L".loaded", ignored);
        fs::remove_all(m_folder, ignored);
    }

    fs::path m_folder;
    fs::path m_copy;
    std::wstring m_name;
    HMODULE m_module = nullptr;
};

TEST_P(PlantedLibraryTest, IsLoadedOnlyWhereTheSearchStillReachesIt)
{
    const PlantCase& c = GetParam();
    if (c.restriction == Restriction::SystemDirectory) {
        ASSERT_TRUE(CSafeDllSearch::Restrict());
    }

    m_module = LoadLibraryW(m_name.c_str());

    EXPECT_EQ(c.loaded, m_module != nullptr);
    EXPECT_EQ(c.loaded, fs::exists(m_copy.wstring() + L".loaded"));
}

INSTANTIATE_TEST_SUITE_P(
    Searches, PlantedLibraryTest,
    testing::Values(
        // Without a restriction both places are searched: the cases below show something.
        PlantCase{"UnrestrictedBeside", Restriction::None, Place::Beside, true},
        PlantCase{"UnrestrictedCurrentFolder", Restriction::None, Place::CurrentFolder, true},
        PlantCase{"SystemDirectoryBeside", Restriction::SystemDirectory, Place::Beside, false},
        PlantCase{"SystemDirectoryCurrentFolder", Restriction::SystemDirectory, Place::CurrentFolder, false}),
    CaseName());

} // namespace
