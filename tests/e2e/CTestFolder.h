#pragma once
#include <string>

// A folder of the test's own under the driver's temporary folder, removed
// with everything in it when the test ends.
class CTestFolder {
public:
    explicit CTestFolder(const std::wstring& name);
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;
    ~CTestFolder();

    const std::wstring& Path() const noexcept { return m_strPath; }

private:
    std::wstring m_strPath;
};
