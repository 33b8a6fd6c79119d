#include "ovlib/CKernel.h"

#include "ovlib/CSplitPath.h"
#include "ovlib/CStringConvert.h"
#include "ovlib/IsWow64.h"
#include "trace/Trace.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kNoSystemFolder =
    L"ovLib::CKernel::Create(110) : CSplitPath::GetSystemDirectory() failed";
constexpr const wchar_t* kNoPath =
    L"ovLib::CKernel::Create(116) : ovLib::CStringConvert::AppendPath() == false\n";
constexpr const wchar_t* kNotLoaded = L"ovLib::CKernel::Create(124) : Load(_T(\"KERNEL32.DLL\")) == false\n";

} // namespace

bool CKernel::Load(const wchar_t* path) noexcept
{
    return CModule::Load(path) && ResolveEntryPoints(true);
}

bool CKernel::ResolveEntryPoints(bool resolve) noexcept
{
    if (resolve && !IsLoaded())
        return false;

    bool found = true;
    if (resolve) {
        // Every look-up runs, so that each missing entry gets its own warning.
        found &= Resolve(SetProcessWorkingSetSize, "SetProcessWorkingSetSize");
        found &= Resolve(AttachConsole, "AttachConsole");
        found &= Resolve(VerSetConditionMask, "VerSetConditionMask");
        found &= Resolve(VerifyVersionInfoA, "VerifyVersionInfoA");
        found &= Resolve(VerifyVersionInfoW, "VerifyVersionInfoW");
        found &= Resolve(IsWow64Process, "IsWow64Process");
        found &= Resolve(ProcessIdToSessionId, "ProcessIdToSessionId");
        found &= Resolve(WTSGetActiveConsoleSessionId, "WTSGetActiveConsoleSessionId");
        found &= Resolve(GetSystemWow64DirectoryW, "GetSystemWow64DirectoryW");
        found &= Resolve(GetSystemWow64DirectoryA, "GetSystemWow64DirectoryA");
    } else {
        SetProcessWorkingSetSize = nullptr;
        AttachConsole = nullptr;
        VerSetConditionMask = nullptr;
        VerifyVersionInfoA = nullptr;
        VerifyVersionInfoW = nullptr;
        IsWow64Process = nullptr;
        ProcessIdToSessionId = nullptr;
        WTSGetActiveConsoleSessionId = nullptr;
        GetSystemWow64DirectoryW = nullptr;
        GetSystemWow64DirectoryA = nullptr;
    }

    if (resolve && IsWow64()) {
        found &= Resolve(Wow64EnableWow64FsRedirection, "Wow64EnableWow64FsRedirection");
        found &= Resolve(Wow64DisableWow64FsRedirection, "Wow64DisableWow64FsRedirection");
        found &= Resolve(Wow64RevertWow64FsRedirection, "Wow64RevertWow64FsRedirection");
    } else {
        Wow64EnableWow64FsRedirection = nullptr;
        Wow64DisableWow64FsRedirection = nullptr;
        Wow64RevertWow64FsRedirection = nullptr;
    }
    return found;
}

bool CKernel::Create() noexcept
{
    ResolveEntryPoints(false);
    Unload();

    CWideString path;
    if (!CSplitPath::GetSystemDirectoryW(path)) {
        TraceError(kNoSystemFolder);
        return false;
    }
    if (!CStringConvert::AppendPath(path, L"KERNEL32.DLL")) {
        TraceError(kNoPath);
        return false;
    }
    if (!Load(path) && !IsLoaded()) {
        TraceError(kNotLoaded);
        return false;
    }
    return true;
}

} // namespace ovLib
