#pragma once
// A registry key of this test process under HKCU, removed with everything
// below it when the object goes. Tests run in parallel processes, so the
// process id keeps their keys apart.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

class CTestKey {
public:
    CTestKey() : m_path(L"Software\\SetupTests\\trace-" + std::to_wstring(GetCurrentProcessId()))
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &m_hKey, nullptr));
    }
    CTestKey(const CTestKey&) = delete;
    CTestKey& operator=(const CTestKey&) = delete;
    ~CTestKey()
    {
        RegCloseKey(m_hKey);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }

    // Relative to HKCU.
    const std::wstring& Path() const { return m_path; }
    HKEY Handle() const { return m_hKey; }

    // Creates the sub-key (and its parents) below this key.
    void CreateSubKey(const std::wstring& subKey) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(m_hKey, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }

    void SetRaw(const std::wstring& subKey, const wchar_t* name, DWORD type, const void* data, DWORD size) const
    {
        CreateSubKey(subKey);
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(m_hKey, subKey.empty() ? nullptr : subKey.c_str(), name, type,
                                                 data, size));
    }
    void SetNumber(const std::wstring& subKey, const wchar_t* name, DWORD value) const
    {
        SetRaw(subKey, name, REG_DWORD, &value, sizeof(value));
    }
    void SetString(const std::wstring& subKey, const wchar_t* name, const std::wstring& text) const
    {
        SetRaw(subKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::wstring m_path;
    HKEY m_hKey = nullptr;
};

} // namespace testing_support
