#include "ovlib/CSplitPath.h"

#include "ovlib/CCatchInfo.h"
#include "trace/Trace.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr CCatchSite kDirectorySite = OVLIB_CATCH_SITE(L"ovLib::CSplitPath::GetSystemDirectoryW(537)");
constexpr const wchar_t* kNoDirectory =
    L"ovLib::CSplitPath::GetSystemDirectoryW(533) : GetSystemDirectory() == 0, 0x%08X";

} // namespace

bool CSplitPath::GetSystemDirectoryW(CWideString& target) noexcept
{
    bool result = true;
    const bool nothingCaught = CCatchInfo::Run(kDirectorySite, [&] {
        wchar_t* buffer = target.GetBuffer(MAX_PATH);
        const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
        const DWORD error = GetLastError();
        target.ReleaseBuffer();
        if (length == 0 || length > MAX_PATH) {
            TraceError(kNoDirectory, error);
            result = false;
        }
    });
    if (!nothingCaught || !result) {
        target.Empty();
        return false;
    }
    return true;
}

} // namespace ovLib
