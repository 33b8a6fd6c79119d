#include "ovlib/CSplitPath.h"

#include "ovlib/CCatchInfo.h"
#include "trace/Trace.h"

namespace ovLib {

bool CSplitPath::GetSystemDirectoryW(CWideString& target) noexcept
{
    bool result = true;
    const bool nothingCaught =
        CCatchInfo::Run(OVLIB_CATCH_SITE(L"ovLib::CSplitPath::GetSystemDirectoryW(537)"), [&] {
            wchar_t* buffer = target.GetBuffer(MAX_PATH);
            const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
            const DWORD error = GetLastError();
            target.ReleaseBuffer();
            if (length == 0 || length > MAX_PATH) {
                TraceError(L"ovLib::CSplitPath::GetSystemDirectoryW(533) : GetSystemDirectory() == 0, 0x%08X",
                           error);
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
