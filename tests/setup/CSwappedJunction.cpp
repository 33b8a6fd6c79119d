#include "tests/setup/CSwappedJunction.h"

#include "tests/setup/NativeName.h"

namespace {

CSwappedJunction* g_junction = nullptr;
decltype(&CreateFileW) RealCreateFileW;
decltype(&DeleteFileW) RealDeleteFileW;
decltype(&NtCreateFile) RealNtCreateFile;

} // namespace

CSwappedJunction::CSwappedJunction(std::wstring link, std::wstring target)
    : m_link(std::move(link)), m_target(std::move(target))
{
    RealNtCreateFile = reinterpret_cast<decltype(&NtCreateFile)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile")));
    g_junction = this;
    m_hooks.Add("kernel32.dll", "CreateFileW", &FakeCreateFileW, RealCreateFileW);
    m_hooks.Add("kernel32.dll", "DeleteFileW", &FakeDeleteFileW, RealDeleteFileW);
    m_lookUps.Override("NtCreateFile", reinterpret_cast<const void*>(&FakeNtCreateFile));
}

CSwappedJunction::~CSwappedJunction()
{
    g_junction = nullptr;
}

std::wstring CSwappedJunction::Resolved(const std::wstring& path, bool followLast)
{
    const CSwappedJunction* self = g_junction;
    if (!self)
        return path;
    const std::size_t length = self->m_link.size();
    if (SamePath(path, self->m_link))
        return followLast ? self->m_target : path;
    if (path.size() > length && path[length] == L'\\' && SamePath(path.substr(0, length), self->m_link))
        return self->m_target + path.substr(length);
    return path;
}

HANDLE WINAPI CSwappedJunction::FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share,
                                                LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                                HANDLE templateFile)
{
    const std::wstring opened = Resolved(path, !(flags & FILE_FLAG_OPEN_REPARSE_POINT));
    return RealCreateFileW(opened.c_str(), access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI CSwappedJunction::FakeDeleteFileW(LPCWSTR path)
{
    return RealDeleteFileW(Resolved(path, false).c_str());
}

NTSTATUS NTAPI CSwappedJunction::FakeNtCreateFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                                  PIO_STATUS_BLOCK io, PLARGE_INTEGER size, ULONG fileAttributes,
                                                  ULONG share, ULONG disposition, ULONG options, PVOID ea,
                                                  ULONG eaLength)
{
    // Below a handle of the junction itself, names are looked up in it.
    const bool inJunction = attributes->RootDirectory && g_junction &&
                            SamePath(HeldPath(attributes->RootDirectory), g_junction->m_link);
    const std::wstring name = NativeName(*attributes);
    const std::wstring resolved = inJunction ? name : Resolved(name, !(options & FILE_OPEN_REPARSE_POINT));
    if (resolved == name)
        return RealNtCreateFile(handle, access, attributes, io, size, fileAttributes, share, disposition, options,
                                ea, eaLength);
    // The same request, by the target's full native name.
    std::wstring native = L"\\??\\" + resolved;
    const USHORT bytes = static_cast<USHORT>(native.size() * sizeof(wchar_t));
    UNICODE_STRING nativeName = {bytes, bytes, &native[0]};
    OBJECT_ATTRIBUTES redirected = *attributes;
    redirected.RootDirectory = nullptr;
    redirected.ObjectName = &nativeName;
    return RealNtCreateFile(handle, access, &redirected, io, size, fileAttributes, share, disposition, options, ea,
                            eaLength);
}
