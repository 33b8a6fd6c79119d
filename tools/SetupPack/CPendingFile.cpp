#include "tools/SetupPack/CPendingFile.h"

#include <windows.h>

#include <vector>

namespace {

// The target's folder, so that the rename stays on one volume.
std::wstring FolderOf(const std::wstring& path)
{
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!length)
        return {};
    std::vector<wchar_t> full(length);
    wchar_t* name = nullptr;
    if (!GetFullPathNameW(path.c_str(), length, full.data(), &name) || !name)
        return {};
    return std::wstring(full.data(), name);
}

} // namespace

CPendingFile::~CPendingFile()
{
    if (!m_strTemporary.empty()) {
        const DWORD lastError = GetLastError();
        DeleteFileW(m_strTemporary.c_str());
        SetLastError(lastError);
    }
}

bool CPendingFile::Create()
{
    const std::wstring folder = FolderOf(m_strTarget);
    wchar_t temporary[MAX_PATH];
    if (folder.empty() || !GetTempFileNameW(folder.c_str(), L"spk", 0, temporary))
        return false;
    m_strTemporary = temporary;
    return true;
}

bool CPendingFile::Commit()
{
    if (!MoveFileExW(m_strTemporary.c_str(), m_strTarget.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    m_strTemporary.clear();
    return true;
}
