#pragma once
#include "tools/winrun/CScopedRegistryValue.h"

#include <string>

namespace winRun {

// Makes Wine report a Windows version ("vista", "winxp", "win7", "win98"...)
// to programs of one file name, for the object's lifetime.
class CWineAppVersion {
public:
    CWineAppVersion(const std::wstring& programName, const std::wstring& version);

private:
    CScopedRegistryValue m_value;
};

} // namespace winRun
