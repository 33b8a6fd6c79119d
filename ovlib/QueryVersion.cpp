#include "ovlib/QueryVersion.h"

namespace ovLib {

bool QueryVersion(OSVERSIONINFOW& version, DWORD layoutSize) noexcept
{
    ZeroMemory(&version, layoutSize);
    version.dwOSVersionInfoSize = layoutSize;
    return GetVersionExW(&version) != FALSE;
}

} // namespace ovLib
