#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

namespace ovLib {

// Owns one loaded library and looks up its entry points. Failures are traced.
class CModule {
public:
    constexpr CModule() noexcept = default;
    CModule(const CModule&) = delete;
    CModule& operator=(const CModule&) = delete;
    virtual ~CModule() = default;

    // Releases any library held first. The path is resolved with the
    // library's own folder searched for its dependencies.
    bool Load(const wchar_t* path) noexcept;
    // Null when the name is null or the library has no such export.
    FARPROC GetProc(const char* name) noexcept;
    void Unload() noexcept;

    bool IsLoaded() const noexcept { return m_hModule.valid(); }
    HMODULE GetHandle() const noexcept { return m_hModule.get(); }

private:
    CLibrary m_hModule;
};

} // namespace ovLib
