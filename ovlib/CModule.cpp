#include "ovlib/CModule.h"

#include "trace/Trace.h"

namespace ovLib {

bool CModule::Load(const wchar_t* path) noexcept
{
    Unload();
    m_hModule.reset(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!m_hModule) {
        TraceError(L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, %s, 0x%08X\n", path,
                   GetLastError());
        return false;
    }
    return true;
}

FARPROC CModule::GetProc(const char* name) noexcept
{
    if (!name) {
        TraceError(L"ovLib::CModule::GetProc(135) : szProcName == NULL\n");
        return nullptr;
    }
    const FARPROC proc = GetProcAddress(m_hModule.get(), name);
    if (!proc)
        TraceWarning(L"ovLib::CModule::GetProc(143) : GetProcAddress() == NULL, %hs, 0x%08X\n", name,
                     GetLastError());
    return proc;
}

void CModule::Unload() noexcept
{
    m_hModule.reset();
}

} // namespace ovLib
