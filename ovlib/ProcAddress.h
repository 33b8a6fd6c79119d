#pragma once
#include <windows.h>

namespace ovLib {

// An entry point looked up at run time, typed; null when absent.
template <class Function>
Function ProcAddress(HMODULE module, const char* name) noexcept
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace ovLib
