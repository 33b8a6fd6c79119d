#include "tests/setup/CFolderCreations.h"

#include "tests/setup/NativeName.h"

namespace {

CFolderCreations::Handler* g_onCreated = nullptr;
decltype(&CreateDirectoryW) RealCreateDirectoryW;
decltype(&NtCreateFile) RealNtCreateFile;

} // namespace

CFolderCreations::CFolderCreations(Handler onCreated) : m_onCreated(std::move(onCreated))
{
    RealNtCreateFile = reinterpret_cast<decltype(&NtCreateFile)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
    g_onCreated = &m_onCreated;
    m_hooks.Add("kernel32.dll", "CreateDirectoryW", &FakeCreateDirectoryW, RealCreateDirectoryW);
    m_lookUps.Override("NtCreateFile", reinterpret_cast<const void*>(&FakeNtCreateFile));
}

CFolderCreations::~CFolderCreations()
{
    g_onCreated = nullptr;
}

BOOL WINAPI CFolderCreations::FakeCreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    const BOOL created = RealCreateDirectoryW(path, attributes);
    if (created && g_onCreated)
        (*g_onCreated)(path, attributes ? attributes->lpSecurityDescriptor : nullptr);
    return created;
}

NTSTATUS NTAPI CFolderCreations::FakeNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                                  PIO_STATUS_BLOCK io, PLARGE_INTEGER size, ULONG fileAttributes,
                                                  ULONG share, ULONG disposition, ULONG options, PVOID ea,
                                                  ULONG eaLength)
{
    const NTSTATUS status = RealNtCreateFile(handle, access, attributes, io, size, fileAttributes, share,
                                             disposition, options, ea, eaLength);
    if (NT_SUCCESS(status) && g_onCreated && disposition == FILE_CREATE && (options & FILE_DIRECTORY_FILE))
        (*g_onCreated)(NativeName(*attributes), attributes->SecurityDescriptor);
    return status;
}
