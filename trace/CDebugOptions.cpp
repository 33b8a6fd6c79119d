#include "trace/CDebugOptions.h"

#include "ovlib/CCatchInfo.h"
#include "ovlib/COSInfo.h"
#include "ovlib/CStringConvert.h"
#include "trace/CRegistry.h"
#include "trace/Trace.h"

namespace ovQvl {

namespace {

constexpr wchar_t kBasePath[] = L"Software\\Quorvel\\Orvane\\Debug";

template <class Record>
struct CFlagValue {
    const wchar_t* name;
    DWORD Record::*field;
};

// A flag that cannot be read keeps what it had: the staged read changes
// nothing on failure.
template <class Record, std::size_t Count>
void ReadFlags(ovLib::CRegistry& reg, Record& record, const CFlagValue<Record> (&flags)[Count]) noexcept
{
    for (const CFlagValue<Record>& flag : flags)
        reg.GetNumber(flag.name, record.*flag.field);
}

using COutput = CDebugOptions::CDebugOutputGroup;

constexpr CFlagValue<CDebugOptions> kCrashFlags[] = {
    {L"DumpOnNew", &CDebugOptions::DumpOnNew},
    {L"TerminateOnNew", &CDebugOptions::TerminateOnNew},
    {L"ThrowOnNew", &CDebugOptions::ThrowOnNew},
    {L"DumpOnException", &CDebugOptions::DumpOnException},
    {L"TerminateOnException", &CDebugOptions::TerminateOnException},
    {L"DumpOnPurecall", &CDebugOptions::DumpOnPurecall},
    {L"TerminateOnPurecall", &CDebugOptions::TerminateOnPurecall},
    {L"DumpOnSecurity", &CDebugOptions::DumpOnSecurity},
    {L"TerminateOnSecurity", &CDebugOptions::TerminateOnSecurity},
    {L"DumpOnInvalidParameter", &CDebugOptions::DumpOnInvalidParameter},
    {L"TerminateOnInvalidParameter", &CDebugOptions::TerminateOnInvalidParameter},
};

constexpr CFlagValue<CDebugOptions> kCrashFileFlags[] = {
    {L"AppendDateTimeToFile", &CDebugOptions::AppendDateTimeToFile},
    {L"AppendVersionToFile", &CDebugOptions::AppendVersionToFile},
};

constexpr CFlagValue<COutput> kOutputFlags[] = {
    {L"OutputToDebugger", &COutput::OutputToDebugger},
    {L"OutputToFile", &COutput::OutputToFile},
    {L"AppendProcessIdToFile", &COutput::AppendProcessIdToFile},
    {L"PrependThreadId", &COutput::PrependThreadId},
    {L"PrependProcessId", &COutput::PrependProcessId},
    {L"PrependDateTime", &COutput::PrependDateTime},
    {L"PrependModuleName", &COutput::PrependModuleName},
    {L"AppendNewLine", &COutput::AppendNewLine},
    {L"PrependType", &COutput::PrependType},
    {L"ExclusiveModules", &COutput::ExclusiveModules},
};

} // namespace

CDebugOptions::CDebugOptions() noexcept
{
    Reset();
}

void CDebugOptions::Reset() noexcept
{
    DebugOutput.DebugType = 0;
    DebugOutput.Directory.Empty();
    DebugOutput.OutputToDebugger = 1;
    DebugOutput.OutputToFile = 0;
    DebugOutput.AppendProcessIdToFile = 1;
    DebugOutput.PrependThreadId = 1;
    DebugOutput.PrependProcessId = 1;
    DebugOutput.PrependDateTime = 1;
    DebugOutput.PrependModuleName = 1;
    DebugOutput.AppendNewLine = 1;
    DebugOutput.PrependType = 1;
    DebugOutput.ExclusiveModules = 0;
    DebugOutput.Modules.clear();

    DumpOnNew = 0;
    TerminateOnNew = 0;
    ThrowOnNew = 1;
    DumpOnException = 0;
    TerminateOnException = 0;
    DumpOnPurecall = 0;
    TerminateOnPurecall = 0;
    DumpOnSecurity = 0;
    TerminateOnSecurity = 0;
    DumpOnInvalidParameter = 0;
    TerminateOnInvalidParameter = 0;
    Directory.Empty();
    DumpType = 0x22;
    AppendDateTimeToFile = 1;
    AppendVersionToFile = 1;
}

bool CDebugOptions::BuildRegPath(const wchar_t* subKey, ovLib::CWideString& path) noexcept
{
    if (!ovLib::CStringConvert::Format(path, L"%s\\%s", kBasePath, subKey)) {
        TraceError(L"CDebugOptions::BuildRegPath() : CStringConvert::Format() == false\n");
        return false;
    }
    return true;
}

bool CDebugOptions::Load() noexcept
{
    Reset();

    ovLib::CWideString crashHandlerPath;
    ovLib::CWideString debugOutputPath;
    if (!BuildRegPath(L"CrashHandler", crashHandlerPath) || !BuildRegPath(L"DebugOutput", debugOutputPath)) {
        TraceError(L"CDebugOptions::Load() : BuildRegPath() == FALSE\n");
        return false;
    }

    // A 32-bit program's settings live in the 32-bit view of 64-bit Windows.
    const REGSAM access = ovLib::COSInfo::IsWin64() ? KEY_READ | KEY_WOW64_32KEY : KEY_READ;

    ovLib::CRegistry reg;
    if (reg.Open(HKEY_LOCAL_MACHINE, crashHandlerPath, access))
        ReadCrashHandler(reg);
    if (!reg.Open(HKEY_LOCAL_MACHINE, debugOutputPath, access))
        return true;
    ReadDebugOutput(reg);

    ovLib::CRegistry mapReg;
    if (!mapReg.Open(reg.GetHandle(), L"Modules", KEY_READ))
        return true;
    return ReadModules(mapReg);
}

// DumpType and DebugType take the direct read: a value of another type whose
// data fits in four bytes still lands in them.
void CDebugOptions::ReadCrashHandler(ovLib::CRegistry& reg) noexcept
{
    ReadFlags(reg, *this, kCrashFlags);
    reg.GetString(L"Directory", Directory);
    reg.GetNumber(L"DumpType", &DumpType);
    ReadFlags(reg, *this, kCrashFileFlags);
}

void CDebugOptions::ReadDebugOutput(ovLib::CRegistry& reg) noexcept
{
    reg.GetNumber(L"DebugType", &DebugOutput.DebugType);
    reg.GetString(L"Directory", DebugOutput.Directory);
    ReadFlags(reg, DebugOutput, kOutputFlags);
}

bool CDebugOptions::ReadModules(ovLib::CRegistry& mapReg) noexcept
{
    DebugOutput.Modules.clear();
    wchar_t name[MAX_PATH];
    for (DWORD index = 0;;) {
        const LONG result = mapReg.EnumValue(index, name, MAX_PATH);
        if (result == ERROR_NO_MORE_ITEMS) {
            mapReg.Close();
            return true;
        }
        if (result != ERROR_SUCCESS) {
            TraceError(L"CDebugOptions::Load() : mapReg.EnumValue() != ERROR_SUCCESS\n");
            return false;
        }
        ++index;
        DWORD value = 0;
        if (!mapReg.GetNumber(name, value)) {
            TraceError(L"CDebugOptions::Load() : mapReg.GetNumber() == FALSE\n");
            return false;
        }
        const bool stored = ovLib::CCatchInfo::Run(OVLIB_CATCH_SITE(L"ovQvl::CDebugOptions::Load(194)"),
                                                   [&] { DebugOutput.Modules[name] = value; });
        if (!stored)
            return false;
    }
}

} // namespace ovQvl
