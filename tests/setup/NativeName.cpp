#include "tests/setup/NativeName.h"

std::wstring HeldPath(HANDLE folder)
{
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetFinalPathNameByHandleW(folder, path, MAX_PATH + 8, 0);
    if (length == 0 || length >= MAX_PATH + 8)
        return L"";
    const std::wstring held(path, length);
    return held.compare(0, 4, L"\\\\?\\") == 0 ? held.substr(4) : held;
}

std::wstring NativeName(const OBJECT_ATTRIBUTES& attributes)
{
    const UNICODE_STRING& name = *attributes.ObjectName;
    const std::wstring relative(name.Buffer, name.Length / sizeof(wchar_t));
    return attributes.RootDirectory ? HeldPath(attributes.RootDirectory) + L"\\" + relative : relative;
}

bool SamePath(const std::wstring& one, const std::wstring& other)
{
    return _wcsicmp(one.c_str(), other.c_str()) == 0;
}
