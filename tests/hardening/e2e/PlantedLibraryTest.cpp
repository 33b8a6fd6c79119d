// Copies of a library that marks being loaded, named like libraries Setup or
// the system load, beside Setup.exe and in its current folder, with Wine told
// to prefer them as Windows prefers a program's own folder: none is loaded.
#include "tests/e2e/CSetupRun.h"
#include "tools/winrun/CChildProcess.h"
#include "tools/winrun/CScopedRegistryValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::vector<std::wstring> kPlantedNames = {L"wtsapi32", L"version", L"shlwapi", L"advapi32", L"user32"};

// Wine takes a program's libraries from its own folder first only when told
// so, per program, in the registry: a child does not see WINEDLLOVERRIDES set
// in the environment block its parent gives it.
class CNativeFirst {
public:
    explicit CNativeFirst(const std::wstring& programName)
    {
        for (const std::wstring& name : kPlantedNames)
            m_values.push_back(std::make_unique<winRun::CScopedRegistryValue>(
                winRun::CRegistryLocation{HKEY_CURRENT_USER,
                                          L"Software\\Wine\\AppDefaults\\" + programName + L"\\DllOverrides", name},
                winRun::CRegistryValue::String(L"native,builtin")));
    }

private:
    std::vector<std::unique_ptr<winRun::CScopedRegistryValue>> m_values;
};

void Plant(const fs::path& folder)
{
    for (const std::wstring& name : kPlantedNames)
        fs::copy_file(fs::path(CSetupRun::DriverFolder()) / HARDENING_PLANTED, folder / (name + L".dll"),
                      fs::copy_options::overwrite_existing);
}

std::vector<std::string> Markers(const fs::path& folder)
{
    std::vector<std::string> markers;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == L".loaded")
            markers.push_back(entry.path().filename().string());
    }
    return markers;
}

// A folder next to the driver, holding a copy of the Setup.exe in the
// end-to-end folder of that name.
class CSetupCopy {
public:
    explicit CSetupCopy(const wchar_t* setupFolder = L"setup")
        : m_name(L"planted-" + std::to_wstring(GetCurrentProcessId())),
          m_folder(fs::path(CSetupRun::DriverFolder()) / m_name)
    {
        fs::create_directories(m_folder);
        const fs::path setup = fs::path(CSetupRun::DriverFolder()) / L".." / L"e2e" / setupFolder / L"Setup.exe";
        fs::copy_file(setup, m_folder / L"Setup.exe", fs::copy_options::overwrite_existing);
    }
    CSetupCopy(const CSetupCopy&) = delete;
    CSetupCopy& operator=(const CSetupCopy&) = delete;
    ~CSetupCopy()
    {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    const std::wstring& Name() const { return m_name; }
    const fs::path& Folder() const { return m_folder; }

private:
    std::wstring m_name;
    fs::path m_folder;
};

struct VersionCase {
    std::string name;
    std::wstring version;
    bool payloadRuns;  // else the platform test ends Setup with 0
    // The Setup: the test one, whose payload ends with the code it is told
    // and reports, or the shipped one, whose companion ends with 87 for an
    // unknown request.
    const wchar_t* setupFolder;
    DWORD dwPayloadExit;
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.name;
}

class PlantedLibraries : public testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override
    {
        Plant(m_copy.Folder());
        Plant(m_run.WorkFolder());
        m_run.SetSetupFolder(m_copy.Name());
        m_run.SetWindowsVersion(GetParam().version);
    }

    CSetupCopy m_copy{GetParam().setupFolder};
    CSetupRun m_run;
    CNativeFirst m_nativeFirst{L"Setup.exe"};
};

TEST_P(PlantedLibraries, AreNeverLoaded)
{
    const VersionCase& c = GetParam();
    m_run.SetPayloadExitCode(c.dwPayloadExit);
    const CSetupResult result = m_run.Run(L"/unknown-to-the-companion");

    EXPECT_EQ(c.payloadRuns ? c.dwPayloadExit : 0u, result.dwExitCode);
    if (c.setupFolder == std::wstring(L"setup")) {
        EXPECT_EQ(c.payloadRuns, result.report.has_value());
    }
    EXPECT_EQ(std::vector<std::string>{}, Markers(m_copy.Folder())) << "loaded from beside Setup.exe";
    EXPECT_EQ(std::vector<std::string>{}, Markers(m_run.WorkFolder())) << "loaded from the current folder";
}

// The same setting hands the planted copies to a program that loads them by
// name without restricting the search: so the case above shows something.
// (Names the system folder holds are searched for in the current folder only
// after it, on Windows as under Wine; the unit tests plant a name it lacks.)
TEST(PlantedLibrariesControl, AreTakenFromBesideAProgramThatDoesNotRestrictTheSearch)
{
    const CSetupCopy copy;
    const fs::path program = copy.Folder() / HARDENING_LOAD_BY_NAME;
    fs::copy_file(fs::path(CSetupRun::DriverFolder()) / HARDENING_LOAD_BY_NAME, program);
    Plant(copy.Folder());
    std::wstring names;
    for (const std::wstring& name : kPlantedNames)
        names += name + L".dll ";
    const CNativeFirst nativeFirst(HARDENING_LOAD_BY_NAME);

    winRun::CChildProcess control;
    ASSERT_TRUE(control.Start(winRun::CChildProcess::CommandLine(program.wstring(), names), copy.Folder().wstring(),
                              winRun::CEnvironmentBlock::OfThisProcess()));
    ASSERT_TRUE(control.Wait(60000));

    std::vector<std::string> expected;
    for (const std::wstring& name : kPlantedNames)
        expected.push_back(fs::path(name + L".dll.loaded").string());
    std::vector<std::string> markers = Markers(copy.Folder());
    std::sort(expected.begin(), expected.end());
    std::sort(markers.begin(), markers.end());
    EXPECT_EQ(expected, markers);
}

// The test payload imports version.dll. Setup runs it from a folder of its
// own, so what was planted in the temporary folder is not beside it.
TEST(PlantedInTheTemporaryFolder, IsNeverLoadedByThePayload)
{
    CSetupRun run;
    run.SetSetupFolder(L"..\\e2e\\setup");
    Plant(run.TempFolder());
    const CNativeFirst nativeFirst(L"qvltgl.exe");
    run.SetPayloadExitCode(3010);

    const CSetupResult result = run.Run(L"/status");

    EXPECT_EQ(3010u, result.dwExitCode);
    EXPECT_TRUE(result.report.has_value()) << "the payload did not run";
    EXPECT_EQ(std::vector<std::string>{}, Markers(run.TempFolder()));
}

// The same payload started from the temporary folder itself, where runs put
// it before they had folders of their own, takes the planted library.
TEST(PlantedInTheTemporaryFolderControl, IsLoadedByThePayloadStartedBesideIt)
{
    CSetupRun run;
    Plant(run.TempFolder());
    const fs::path payload = fs::path(run.TempFolder()) / L"qvltgl.exe";
    fs::copy_file(fs::path(CSetupRun::DriverFolder()) / L".." / L"e2e" / L"payload" / L"payload145.exe", payload);
    const CNativeFirst nativeFirst(L"qvltgl.exe");

    winRun::CChildProcess control;
    ASSERT_TRUE(control.Start(winRun::CChildProcess::CommandLine(payload.wstring(), L"/status"), run.WorkFolder(),
                              winRun::CEnvironmentBlock::OfThisProcess()));
    ASSERT_TRUE(control.Wait(60000));

    // The loader names the library as the import does: "VERSION.dll".
    const std::vector<std::string> markers = Markers(run.TempFolder());
    EXPECT_NE(markers.end(), std::find_if(markers.begin(), markers.end(), [](const std::string& marker) {
                  return _stricmp(marker.c_str(), "version.dll.loaded") == 0;
              })) << "the planted library was not loaded";
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PlantedLibraries,
    testing::Values(VersionCase{"Nt51", L"winxp", false, L"setup", 3010},
                    VersionCase{"Nt60", L"vista", true, L"setup", 3010}
#ifdef HARDENING_SHIPPED_SETUP
                    ,
                    VersionCase{"ShippedNt51", L"winxp", false, L"shipped", ERROR_INVALID_PARAMETER},
                    VersionCase{"ShippedNt60", L"vista", true, L"shipped", ERROR_INVALID_PARAMETER}
#endif
                    ),
    [](const testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

} // namespace
