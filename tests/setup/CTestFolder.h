#pragma once
#include <string>

// A folder of its own under the real temporary folder, removed with its files
// at the end, so that tests running side by side never share a payload file.
class CTestFolder {
public:
    // withBlank: the folder's name has a blank, as under a user name with one.
    explicit CTestFolder(bool withBlank = false);
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;
    ~CTestFolder();

    // Ends in a backslash, as GetTempPathW answers.
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const wchar_t* name) const { return m_path + name; }

private:
    std::wstring m_path;
};
