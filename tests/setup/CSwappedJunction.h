#pragma once
#include "tests/setup/CHookSet.h"
#include "tests/support/CImportHook.h"

#include <windows.h>
#include <winternl.h>

#include <string>

// A folder's name that has become a junction to another folder by the time
// the code under test opens it, which Wine cannot make. Whatever follows
// reparse points through that name (an open by path or by a native name, or
// a deletion by path below it) lands in the target; an open that does not
// follow them gets the junction itself, which the folder stands in for. One
// instance at a time.
class CSwappedJunction {
public:
    CSwappedJunction(std::wstring link, std::wstring target);
    ~CSwappedJunction();

private:
    // path as the file system resolves it: the link followed on the way, and
    // at the end only when followLast says so.
    static std::wstring Resolved(const std::wstring& path, bool followLast);

    static HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                         DWORD disposition, DWORD flags, HANDLE templateFile);
    static BOOL WINAPI FakeDeleteFileW(LPCWSTR path);
    static NTSTATUS NTAPI FakeNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                          PIO_STATUS_BLOCK io, PLARGE_INTEGER size, ULONG fileAttributes,
                                          ULONG share, ULONG disposition, ULONG options, PVOID ea, ULONG eaLength);

    std::wstring m_link;
    std::wstring m_target;
    CHookSet m_hooks;
    testing_support::CProcAddressHook m_lookUps;
};
