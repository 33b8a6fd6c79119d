#include "tests/pack/CPackRun.h"

#include "ovlib/CUniqueHandle.h"
#include "tests/e2e/CSetupRun.h"
#include "tools/pe/CPeImage.h"
#include "tools/winrun/CChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr DWORD kRunMs = 60000;
constexpr wchar_t kSaidName[] = L"said.txt";

} // namespace

void CPackRun::Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const
{
    std::ofstream file(std::filesystem::path(PathOf(name)), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file) << "cannot write an input";
}

std::vector<std::uint8_t> CPackRun::ReadFile(const std::wstring& path)
{
    return CPeImage::ReadFile(path).value_or(std::vector<std::uint8_t>{});
}

std::wstring CPackRun::ProgramPath(const std::wstring& name)
{
    return CSetupRun::DriverFolder() + L"\\pack\\" + name;
}

DWORD CPackRun::Run(const std::vector<std::wstring>& arguments)
{
    // Beside the test folder, so that the folder holds only what SetupPack left.
    const std::wstring saidPath = Folder() + L"-" + kSaidName;
    SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
    ovLib::CFileHandle said(CreateFileW(saidPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(said) << "cannot make the file for SetupPack's output";
    std::wstring tail;
    for (const std::wstring& argument : arguments)
        tail += L"\"" + argument + L"\" ";
    winRun::CChildProcess child;
    child.SetOutput(said.get());
    if (!child.Start(winRun::CChildProcess::CommandLine(ProgramPath(L"SetupPack.exe"), tail), Folder(),
                     winRun::CEnvironmentBlock::OfThisProcess())) {
        ADD_FAILURE() << "SetupPack did not start: error " << GetLastError();
        return ~0u;
    }
    EXPECT_TRUE(child.Wait(kRunMs)) << "SetupPack did not end in time";
    said.reset();
    const std::vector<std::uint8_t> bytes = ReadFile(saidPath);
    m_strSaid.assign(bytes.begin(), bytes.end());
    DeleteFileW(saidPath.c_str());
    return child.ExitCode();
}
