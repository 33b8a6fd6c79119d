#pragma once
#include <string>

// A file written under a temporary name beside its final place and renamed
// over it only when complete, so a failure never leaves a half-written file
// there. Uncommitted, the temporary file goes with the object.
class CPendingFile {
public:
    explicit CPendingFile(std::wstring target) : m_strTarget(std::move(target)) {}
    CPendingFile(const CPendingFile&) = delete;
    CPendingFile& operator=(const CPendingFile&) = delete;
    ~CPendingFile();

    // Makes the empty temporary file; false, with GetLastError set, if not.
    bool Create();
    const std::wstring& Path() const noexcept { return m_strTemporary; }
    // Renames the temporary file over the target; false, with GetLastError set, if not.
    bool Commit();

private:
    std::wstring m_strTarget;
    std::wstring m_strTemporary;
};
