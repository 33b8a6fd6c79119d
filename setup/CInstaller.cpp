#include "setup/CInstaller.h"

#include "ovlib/CCatchInfo.h"
#include "ovlib/CStringConvert.h"
#include "ovlib/CUniqueHandle.h"
#include "probe/CPlatformFacts.h"
#include "setup/CHeldPayload.h"
#include "setup/CPrivateFolder.h"
#include "setup/CResourceReader.h"
#include "setup/RunProcessAndWait.h"
#include "trace/Trace.h"

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kTempPathFailed = L"CInstaller::Install(74) : Failed to GetTempPath";
constexpr ovLib::CCatchSite kPayloadPathSite = OVLIB_CATCH_SITE(L"CInstaller::Install(80)");
constexpr const wchar_t* kRunFailed = L"CInstaller::Install(97) : RunProcessAndWait() != S_OK, 0x%08X";

constexpr wchar_t kPayloadName[] = L"qvltgl.exe";
constexpr wchar_t kPayloadType[] = L"BIN";
constexpr wchar_t kWriteFailed[] = L"write file";
constexpr wchar_t kCreateFailed[] = L"create file";
// The box of each step of reading the resource that can fail, by CResourceReader::Step.
constexpr const wchar_t* kReadFailed[] = {nullptr, L"Find res failed", L"size is 0", L"Load res failed",
                                          L"lock res failed"};

void ShowError(const wchar_t* text)
{
    MessageBoxW(nullptr, text, L"error", MB_OK);
}

// Only NT 6.0 (any service pack) is a target; no 9x version qualifies.
bool IsSupportedPlatform(CPlatformFacts& facts)
{
    return facts.IsAtLeast(0xFFFF, 0x20, 0, 0);
}

// False when there is no temporary folder or it does not fit MAX_PATH: an
// unfilled buffer would send the payload to an undefined place.
bool GetTempFolder(wchar_t (&folder)[MAX_PATH])
{
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return length != 0 && length < MAX_PATH;
}

} // namespace

bool CInstaller::Install(const wchar_t* commandLineTail, DWORD& exitCode)
{
    exitCode = kSetupFailed;

    CPlatformFacts facts;
    if (!IsSupportedPlatform(facts)) {
        exitCode = 0;
        return false;
    }

    wchar_t tempFolder[MAX_PATH];
    if (!GetTempFolder(tempFolder)) {
        TraceError(kTempPathFailed);
        return false;
    }
    // The payload runs from a folder nobody else can write to: a library
    // planted in the temporary folder is never beside it.
    CPrivateFolder::RemoveLeftovers(tempFolder, kPayloadName);
    CPrivateFolder folder;
    if (!folder.Create(tempFolder)) {
        ShowError(kCreateFailed);
        return false;
    }
    ovLib::CWideString payloadPath;
    const bool pathBuilt =
        ovLib::CCatchInfo::Run(kPayloadPathSite, [&] { payloadPath = folder.Path(); }) &&
        ovLib::CStringConvert::AppendPath(payloadPath, kPayloadName);
    if (!pathBuilt)
        return false;

    const WORD id = facts.IsUnderWow64() ? kPayload64 : kPayload32;
    if (!ExtractResource(id, kPayloadType, payloadPath, nullptr))
        return false;
    // The file could have been swapped since it was written; from here on it cannot be.
    CHeldPayload payload;
    if (!payload.Hold(payloadPath, id, kPayloadType, nullptr)) {
        ShowError(kWriteFailed);
        folder.Remove(kPayloadName);
        return false;
    }

    DWORD payloadExitCode = 0;
    const HRESULT status = RunProcessAndWait(payloadPath, commandLineTail, payloadExitCode);
    payload.Release();
    folder.Remove(kPayloadName);
    // A payload that never ran must not look like one that succeeded.
    if (status != S_OK) {
        TraceError(kRunFailed, status);
        return false;
    }
    exitCode = payloadExitCode;
    return true;
}

bool CInstaller::ExtractResource(WORD id, const wchar_t* type, const wchar_t* path, HMODULE module)
{
    CResourceReader resource;
    const CResourceReader::Step failed = resource.Read(id, type, module);
    if (failed != CResourceReader::Step::None) {
        ShowError(kReadFailed[static_cast<int>(failed)]);
        return false;
    }
    // Others may read the file meanwhile, but not change or delete it. Never
    // one that is there already: it could be a link to someone else's file.
    ovLib::CFileHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ShowError(kCreateFailed);
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), resource.Bytes(), resource.Size(), &written, nullptr) || written != resource.Size()) {
        ShowError(kWriteFailed);
        file.reset();
        resource.Release();
        DeleteFileW(path);
        return false;
    }
    return true;  // the file is closed before the resource is freed
}
