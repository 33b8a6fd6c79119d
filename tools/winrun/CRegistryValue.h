#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace winRun {

// Where a registry value lives. view: 0 for the caller's own view, or
// KEY_WOW64_32KEY / KEY_WOW64_64KEY for what a program of the other width reads.
struct CRegistryLocation {
    HKEY hRoot;
    std::wstring strKey;
    std::wstring strName;
    REGSAM view = 0;
};

// A registry value of any type as raw bytes. Failures throw std::system_error.
class CRegistryValue {
public:
    CRegistryValue(DWORD type, std::vector<BYTE> data);
    static CRegistryValue String(const std::wstring& text);  // REG_SZ
    static CRegistryValue Dword(DWORD number);                // REG_DWORD

    // Empty when the key or the value does not exist.
    static std::optional<CRegistryValue> Read(const CRegistryLocation& location);
    // Creates the key when needed.
    void Write(const CRegistryLocation& location) const;
    // A value that is not there counts as deleted.
    static void Delete(const CRegistryLocation& location);

    DWORD Type() const noexcept { return m_dwType; }
    const std::vector<BYTE>& Data() const noexcept { return m_data; }
    bool operator==(const CRegistryValue& other) const noexcept;
    bool operator!=(const CRegistryValue& other) const noexcept { return !(*this == other); }

private:
    DWORD m_dwType;
    std::vector<BYTE> m_data;
};

} // namespace winRun
