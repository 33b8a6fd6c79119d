#pragma once
#include <string>

namespace testing_support {

// A folder of the test's own under the real temporary folder, removed with
// everything in it when the test ends, so that tests running side by side
// never share a file.
class CTestFolder {
public:
    // name ends the folder's name; one with a blank gives a path with a
    // blank, as under a user name with one.
    explicit CTestFolder(const std::wstring& name = L"");
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;
    ~CTestFolder();

    // Without a trailing backslash.
    const std::wstring& Path() const noexcept { return m_strPath; }
    // Ending in a backslash, as GetTempPathW answers.
    std::wstring AsTempPath() const { return m_strPath + L"\\"; }
    std::wstring File(const wchar_t* name) const { return m_strPath + L"\\" + name; }

private:
    std::wstring m_strPath;
};

} // namespace testing_support
