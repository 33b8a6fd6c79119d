#include "ovlib/CFolderHandle.h"

#include "ovlib/ProcAddress.h"

#include <winternl.h>

#include <cwchar>

namespace ovLib {

namespace {

// Looked up: Setup binds nothing of ntdll at start-up, and NT 5.x lacks the
// two kernel calls, though Setup must still load there.
using NtCreateFileFn = decltype(&::NtCreateFile);
using RtlNtStatusToDosErrorFn = decltype(&::RtlNtStatusToDosError);
using SetFileInformationByHandleFn = decltype(&::SetFileInformationByHandle);
using GetFinalPathNameByHandleWFn = decltype(&::GetFinalPathNameByHandleW);

struct CRelativeOpen {
    ACCESS_MASK access;
    DWORD share;
    ULONG disposition;
    ULONG options;
    PSECURITY_DESCRIPTOR security;
};

// name in folder, through the native call: the Win32 ones take whole paths
// only. information: what the call did (FILE_CREATED, FILE_OPENED).
HANDLE OpenRelative(HANDLE folder, const wchar_t* name, const CRelativeOpen& open, ULONG_PTR& information) noexcept
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto create = ProcAddress<NtCreateFileFn>(ntdll, "NtCreateFile");
    const auto toError = ProcAddress<RtlNtStatusToDosErrorFn>(ntdll, "RtlNtStatusToDosError");
    if (!create || !toError)
        return INVALID_HANDLE_VALUE;
    const USHORT bytes = static_cast<USHORT>(std::wcslen(name) * sizeof(wchar_t));
    UNICODE_STRING objectName = {bytes, bytes, const_cast<PWSTR>(name)};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, open.security);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS status =
        create(&handle, open.access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr,
               FILE_ATTRIBUTE_NORMAL, open.share, open.disposition,
               open.options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        SetLastError(toError(status));
        return INVALID_HANDLE_VALUE;
    }
    information = io.Information;
    return handle;
}

// Asked of the handle itself: a listing made before the open may be stale.
// A directory, or a file with one name, and no reparse point either way.
bool IsPlain(HANDLE handle, DWORD directory) noexcept
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return false;
    const DWORD kind = info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    if (kind == directory && (directory || info.nNumberOfLinks == 1))
        return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// Deleted when its last handle closes.
bool MarkDeleted(HANDLE handle) noexcept
{
    const auto setInformation = ProcAddress<SetFileInformationByHandleFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                          "SetFileInformationByHandle");
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return setInformation && setInformation(handle, FileDispositionInfo, &disposition, sizeof(disposition));
}

// "\\?\C:\x" as C:\x, "\\?\UNC\server\x" as \\server\x.
const wchar_t* WithoutLongForm(wchar_t* path) noexcept
{
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        path[6] = L'\\';
        return path + 6;
    }
    return std::wcsncmp(path, L"\\\\?\\", 4) == 0 ? path + 4 : path;
}

} // namespace

bool CFolderHandle::Open(const wchar_t* path, Link link) noexcept
{
    std::size_t length = std::wcslen(path);
    while (length > 0 && path[length - 1] == L'\\')
        --length;
    // Without its backslash a root would be a drive's current folder.
    const bool root = length == 0 || path[length - 1] == L':';
    wchar_t folder[MAX_PATH];
    if (length + root >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::wmemcpy(folder, path, length);
    if (root)
        folder[length++] = L'\\';
    folder[length] = L'\0';
    const DWORD atItsName = link == Link::Refused ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    return Hold(CreateFileW(folder, FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | atItsName, nullptr));
}

bool CFolderHandle::Create(const CFolderHandle& parent, const wchar_t* name, PSECURITY_DESCRIPTOR security,
                           ACCESS_MASK access, DWORD share) noexcept
{
    ULONG_PTR information = 0;
    // Made by this very call, so plain: a failed check could only leave it behind.
    m_handle.reset(OpenRelative(parent.m_handle.get(), name,
                                {access, share, FILE_CREATE, FILE_DIRECTORY_FILE, security}, information));
    return m_handle.valid();
}

bool CFolderHandle::Open(const CFolderHandle& parent, const wchar_t* name, ACCESS_MASK access, DWORD share) noexcept
{
    ULONG_PTR information = 0;
    return Hold(OpenRelative(parent.m_handle.get(), name, {access, share, FILE_OPEN, FILE_DIRECTORY_FILE, nullptr},
                             information));
}

// Kept only when it is a directory, not a reparse point.
bool CFolderHandle::Hold(HANDLE folder) noexcept
{
    m_handle.reset(folder);
    if (m_handle && IsPlain(m_handle.get(), FILE_ATTRIBUTE_DIRECTORY))
        return true;
    m_handle.reset();
    return false;
}

CFileHandle CFolderHandle::OpenFile(const wchar_t* name, ACCESS_MASK access, DWORD share, bool& created) const noexcept
{
    ULONG_PTR information = 0;
    CFileHandle file(OpenRelative(m_handle.get(), name,
                                  {access, share, FILE_OPEN_IF, FILE_NON_DIRECTORY_FILE, nullptr}, information));
    created = information == FILE_CREATED;
    if (file && !IsPlain(file.get(), 0))
        file.reset();
    return file;
}

bool CFolderHandle::DeleteName(const wchar_t* name) const noexcept
{
    ULONG_PTR information = 0;
    const CFileHandle file(OpenRelative(m_handle.get(), name,
                                        {DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                         FILE_NON_DIRECTORY_FILE, nullptr},
                                        information));
    return file && MarkDeleted(file.get());
}

bool CFolderHandle::Delete() noexcept
{
    if (!MarkDeleted(m_handle.get()))
        return false;
    m_handle.reset();
    return true;
}

bool CFolderHandle::FinalPath(wchar_t (&path)[MAX_PATH]) const noexcept
{
    const auto finalPath = ProcAddress<GetFinalPathNameByHandleWFn>(GetModuleHandleW(L"kernel32.dll"),
                                                                    "GetFinalPathNameByHandleW");
    if (!finalPath)
        return false;
    const DWORD length = finalPath(m_handle.get(), path, MAX_PATH, 0);
    if (length == 0)
        return false;
    if (length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const wchar_t* plain = WithoutLongForm(path);
    std::wmemmove(path, plain, std::wcslen(plain) + 1);
    return true;
}

} // namespace ovLib
