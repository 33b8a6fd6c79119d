#pragma once
#include <string>

// A file that a run may leave outside the test's own folders, deleted when
// the object goes, whether or not it was made.
class CRemovedFile {
public:
    CRemovedFile() = default;
    CRemovedFile(const CRemovedFile&) = delete;
    CRemovedFile& operator=(const CRemovedFile&) = delete;
    ~CRemovedFile();

    // The path is often known only once Setup's process id is.
    void Watch(const std::wstring& path) { m_strPath = path; }
    const std::wstring& Path() const noexcept { return m_strPath; }

private:
    std::wstring m_strPath;
};
