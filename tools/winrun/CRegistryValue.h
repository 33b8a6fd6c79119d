#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace winRun {

// A registry value of any type as raw bytes, read, written and deleted by
// root key, key path and value name. Failures throw std::system_error.
class CRegistryValue {
public:
    CRegistryValue(DWORD type, std::vector<BYTE> data);
    static CRegistryValue String(const std::wstring& text);  // REG_SZ
    static CRegistryValue Dword(DWORD number);                // REG_DWORD

    // Empty when the key or the value does not exist.
    static std::optional<CRegistryValue> Read(HKEY root, const std::wstring& key,
                                              const std::wstring& name);
    // Creates the key when needed.
    void Write(HKEY root, const std::wstring& key, const std::wstring& name) const;
    // A value that is not there counts as deleted.
    static void Delete(HKEY root, const std::wstring& key, const std::wstring& name);

    DWORD Type() const noexcept { return m_dwType; }
    const std::vector<BYTE>& Data() const noexcept { return m_data; }
    bool operator==(const CRegistryValue& other) const noexcept;
    bool operator!=(const CRegistryValue& other) const noexcept { return !(*this == other); }

private:
    DWORD m_dwType;
    std::vector<BYTE> m_data;
};

} // namespace winRun
