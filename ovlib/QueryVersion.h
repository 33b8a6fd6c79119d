#pragma once
#include <windows.h>

namespace ovLib {

// GetVersionExW into a cleared record of the given layout (the plain or the
// extended one). False when the system refuses it; GetLastError says why.
bool QueryVersion(OSVERSIONINFOW& version, DWORD layoutSize = sizeof(OSVERSIONINFOW)) noexcept;

inline bool QueryVersion(OSVERSIONINFOEXW& version) noexcept
{
    return QueryVersion(reinterpret_cast<OSVERSIONINFOW&>(version), sizeof(version));
}

} // namespace ovLib
