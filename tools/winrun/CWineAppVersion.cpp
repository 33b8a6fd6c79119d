#include "tools/winrun/CWineAppVersion.h"

namespace winRun {

CWineAppVersion::CWineAppVersion(const std::wstring& programName, const std::wstring& version)
    : m_value({HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + programName, L"Version"},
              CRegistryValue::String(version))
{
}

} // namespace winRun
