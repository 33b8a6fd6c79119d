#include "trace/CDebugOptions.h"

#include "ovlib/CCatchInfo.h"
#include "ovlib/COSInfo.h"
#include "ovlib/CStringConvert.h"
#include "trace/CRegistry.h"
#include "trace/Trace.h"

namespace ovQvl {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kPathNotFormatted =
    L"CDebugOptions::BuildRegPath() : CStringConvert::Format() == false\n";
constexpr const wchar_t* kPathNotBuilt = L"CDebugOptions::Load() : BuildRegPath() == FALSE\n";
constexpr const wchar_t* kModuleNotListed = L"CDebugOptions::Load() : mapReg.EnumValue() != ERROR_SUCCESS\n";
constexpr const wchar_t* kModuleNotRead = L"CDebugOptions::Load() : mapReg.GetNumber() == FALSE\n";
constexpr ovLib::CCatchSite kModuleStoreSite = OVLIB_CATCH_SITE(L"ovQvl::CDebugOptions::Load(194)");

constexpr wchar_t kBasePath[] = L"Software\\Quorvel\\Orvane\\Debug";

template <class Record>
struct CFlagValue {
    const wchar_t* name;
    DWORD Record::*field;
    DWORD defaultValue;
};

template <class Record, std::size_t Count>
void ResetFlags(Record& record, const CFlagValue<Record> (&flags)[Count]) noexcept
{
    for (const CFlagValue<Record>& flag : flags)
        record.*flag.field = flag.defaultValue;
}

// A flag that cannot be read keeps what it had: the staged read changes
// nothing on failure.
template <class Record, std::size_t Count>
void ReadFlags(ovLib::CRegistry& reg, Record& record, const CFlagValue<Record> (&flags)[Count]) noexcept
{
    for (const CFlagValue<Record>& flag : flags)
        reg.GetNumber(flag.name, record.*flag.field);
}

using COutput = CDebugOptions::CDebugOutputGroup;

// Each flag's registry value, field and default, in the order they are read.
constexpr CFlagValue<CDebugOptions> kCrashFlags[] = {
    {L"DumpOnNew", &CDebugOptions::DumpOnNew, 0},
    {L"TerminateOnNew", &CDebugOptions::TerminateOnNew, 0},
    {L"ThrowOnNew", &CDebugOptions::ThrowOnNew, 1},
    {L"DumpOnException", &CDebugOptions::DumpOnException, 0},
    {L"TerminateOnException", &CDebugOptions::TerminateOnException, 0},
    {L"DumpOnPurecall", &CDebugOptions::DumpOnPurecall, 0},
    {L"TerminateOnPurecall", &CDebugOptions::TerminateOnPurecall, 0},
    {L"DumpOnSecurity", &CDebugOptions::DumpOnSecurity, 0},
    {L"TerminateOnSecurity", &CDebugOptions::TerminateOnSecurity, 0},
    {L"DumpOnInvalidParameter", &CDebugOptions::DumpOnInvalidParameter, 0},
    {L"TerminateOnInvalidParameter", &CDebugOptions::TerminateOnInvalidParameter, 0},
};

constexpr CFlagValue<CDebugOptions> kCrashFileFlags[] = {
    {L"AppendDateTimeToFile", &CDebugOptions::AppendDateTimeToFile, 1},
    {L"AppendVersionToFile", &CDebugOptions::AppendVersionToFile, 1},
};

constexpr CFlagValue<COutput> kOutputFlags[] = {
    {L"OutputToDebugger", &COutput::OutputToDebugger, 1},
    {L"OutputToFile", &COutput::OutputToFile, 0},
    {L"AppendProcessIdToFile", &COutput::AppendProcessIdToFile, 1},
    {L"PrependThreadId", &COutput::PrependThreadId, 1},
    {L"PrependProcessId", &COutput::PrependProcessId, 1},
    {L"PrependDateTime", &COutput::PrependDateTime, 1},
    {L"PrependModuleName", &COutput::PrependModuleName, 1},
    {L"AppendNewLine", &COutput::AppendNewLine, 1},
    {L"PrependType", &COutput::PrependType, 1},
    {L"ExclusiveModules", &COutput::ExclusiveModules, 0},
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
    ResetFlags(DebugOutput, kOutputFlags);
    DebugOutput.Modules.clear();

    ResetFlags(*this, kCrashFlags);
    Directory.Empty();
    DumpType = 0x22;
    ResetFlags(*this, kCrashFileFlags);
}

bool CDebugOptions::BuildRegPath(const wchar_t* subKey, ovLib::CWideString& path) noexcept
{
    if (!ovLib::CStringConvert::Format(path, L"%s\\%s", kBasePath, subKey)) {
        TraceError(kPathNotFormatted);
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
        TraceError(kPathNotBuilt);
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
            TraceError(kModuleNotListed);
            return false;
        }
        ++index;
        DWORD value = 0;
        if (!mapReg.GetNumber(name, value)) {
            TraceError(kModuleNotRead);
            return false;
        }
        const bool stored = ovLib::CCatchInfo::Run(kModuleStoreSite, [&] { DebugOutput.Modules[name] = value; });
        if (!stored)
            return false;
    }
}

} // namespace ovQvl
