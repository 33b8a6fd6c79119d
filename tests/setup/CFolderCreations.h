#pragma once
#include "tests/setup/CHookSet.h"
#include "tests/support/CImportHook.h"

#include <windows.h>
#include <winternl.h>

#include <functional>
#include <string>

// The folders that the code under test creates, whichever way it asks the
// system (CreateDirectoryW, or the native call it looks up at run time): each
// is handed to the handler once it exists, with the descriptor it was created
// with, before the code under test goes on. One instance at a time.
class CFolderCreations {
public:
    using Handler = std::function<void(const std::wstring& path, PSECURITY_DESCRIPTOR security)>;

    explicit CFolderCreations(Handler onCreated);
    ~CFolderCreations();

private:
    static BOOL WINAPI FakeCreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
    static NTSTATUS NTAPI FakeNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                          PIO_STATUS_BLOCK io, PLARGE_INTEGER size, ULONG fileAttributes,
                                          ULONG share, ULONG disposition, ULONG options, PVOID ea, ULONG eaLength);

    Handler m_onCreated;
    CHookSet m_hooks;
    testing_support::CProcAddressHook m_lookUps;
};
