#include "bench/CBenchRig.h"

#include "tools/winrun/CChildProcess.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>

namespace {

constexpr wchar_t kSetupName[] = L"Setup.exe";

std::wstring DriverFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw std::runtime_error("cannot find the driver's own folder");
    return std::filesystem::path(std::wstring(path, length)).parent_path().wstring();
}

const wchar_t* SetupFolderName(CBenchRig::Setup setup)
{
    switch (setup) {
    case CBenchRig::Setup::NoOpPayload:
        return L"setup-noop";
    case CBenchRig::Setup::Payload64MiB:
        return L"setup-64mib";
    case CBenchRig::Setup::Payload64MiBPageAligned:
        return L"setup-64mib-page-aligned";
    }
    return L"";
}

const wchar_t* PayloadName(CBenchRig::Payload payload)
{
    return payload == CBenchRig::Payload::CompanionSize ? L"noop.exe" : L"noop-64mib.exe";
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

} // namespace

CBenchRig::CBenchRig()
    : m_strDriverFolder(DriverFolder()),
      m_folder(L"bench"),
      m_strTempFolder(m_folder.Path() + L"\\tmp"),
      m_ntSix(kSetupName, L"vista")
{
    std::filesystem::create_directories(m_strTempFolder);
    for (const Payload payload : {Payload::CompanionSize, Payload::Size64MiB}) {
        if (!CopyFileW(PayloadSource(payload).c_str(), PayloadPath(payload).c_str(), FALSE))
            throw std::runtime_error("cannot copy a payload into the temporary folder");
    }
}

std::wstring CBenchRig::PayloadSource(Payload payload) const
{
    return m_strDriverFolder + L"\\payload\\" + PayloadName(payload);
}

std::wstring CBenchRig::SetupPath(Setup setup) const
{
    return m_strDriverFolder + L"\\" + SetupFolderName(setup) + L"\\" + kSetupName;
}

std::wstring CBenchRig::LauncherPath() const
{
    return m_strDriverFolder + L"\\launcher\\launcher.exe";
}

std::wstring CBenchRig::PeerPath(bool withPayload) const
{
    return m_strDriverFolder + (withPayload ? L"\\peer\\peer.exe" : L"\\peer\\peer-empty.exe");
}

std::wstring CBenchRig::PayloadPath(Payload payload) const
{
    return m_strTempFolder + L"\\" + PayloadName(payload);
}

std::wstring CBenchRig::SetupCommand(Setup setup) const
{
    return winRun::CChildProcess::CommandLine(SetupPath(setup), L"");
}

std::wstring CBenchRig::LauncherCommand(Payload payload) const
{
    return winRun::CChildProcess::CommandLine(LauncherPath(), Quoted(PayloadPath(payload)));
}

std::wstring CBenchRig::PeerCommand() const
{
    return winRun::CChildProcess::CommandLine(PeerPath(true), L"");
}

std::wstring CBenchRig::DirectCommand(Payload payload) const
{
    return winRun::CChildProcess::CommandLine(PayloadPath(payload), L"");
}

winRun::CEnvironmentBlock CBenchRig::Environment() const
{
    winRun::CEnvironmentBlock environment = winRun::CEnvironmentBlock::OfThisProcess();
    environment.Set(L"TMP", m_strTempFolder);
    environment.Set(L"TEMP", m_strTempFolder);
    return environment;
}
