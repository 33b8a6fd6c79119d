#include "ovlib/CCatchInfo.h"

#include "trace/Trace.h"

#include <cwchar>

namespace ovLib {

void CCatchInfo::Caught(const std::bad_alloc& e, const CCatchSite& site) noexcept
{
    code = kBadAlloc;
    typeName = L"std::bad_alloc";
    // Memory is short here: a text that cannot be converted is left out.
    try {
        const char* text = e.what();
        const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
        if (length > 0) {
            CWideString converted;
            wchar_t* buffer = converted.GetBuffer(length);
            if (MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, buffer, length) > 0) {
                converted.ReleaseBuffer();
                description = converted;
            }
        }
    } catch (const CAtlException&) {
    } catch (const std::bad_alloc&) {
    }
    Report(site);
}

void CCatchInfo::Caught(const CAtlException& e, const CCatchSite& site) noexcept
{
    code = kAtlException;
    typeName = L"CAtlException";
    wchar_t hresult[16];
    if (_snwprintf(hresult, 16, L"0x%08X", static_cast<unsigned>(static_cast<HRESULT>(e))) > 0) {
        try {
            description = hresult;
        } catch (const CAtlException&) {
        }
    }
    Report(site);
}

void CCatchInfo::Report(const CCatchSite& site) noexcept
{
    location = site.location;
    TraceError(site.message, typeName, description.GetString());
}

} // namespace ovLib
