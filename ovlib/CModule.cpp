#include "ovlib/CModule.h"

#include "trace/Trace.h"

namespace ovLib {

namespace {

// Fixed texts that callers and tests read as they are: the numbers in them are not line numbers.
constexpr const wchar_t* kNotLoaded = L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, %s, 0x%08X\n";
constexpr const wchar_t* kNoName = L"ovLib::CModule::GetProc(135) : szProcName == NULL\n";
constexpr const wchar_t* kNoEntry = L"ovLib::CModule::GetProc(143) : GetProcAddress() == NULL, %hs, 0x%08X\n";

} // namespace

bool CModule::Load(const wchar_t* path) noexcept
{
    Unload();
    m_hModule.reset(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!m_hModule) {
        TraceError(kNotLoaded, path, GetLastError());
        return false;
    }
    return true;
}

FARPROC CModule::GetProc(const char* name) noexcept
{
    if (!name) {
        TraceError(kNoName);
        return nullptr;
    }
    const FARPROC proc = GetProcAddress(m_hModule.get(), name);
    if (!proc)
        TraceWarning(kNoEntry, name, GetLastError());
    return proc;
}

void CModule::Unload() noexcept
{
    m_hModule.reset();
}

} // namespace ovLib
