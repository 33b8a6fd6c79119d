#pragma once
#include <windows.h>
#include <winternl.h>

#include <string>

// The Win32 path of a folder held by handle; empty when it has none.
std::wstring HeldPath(HANDLE folder);

// The Win32 path of a name given to the native NtCreateFile: its root
// folder's path, a backslash and the name, or the name alone without a root.
std::wstring NativeName(const OBJECT_ATTRIBUTES& attributes);

// Whether two Win32 paths name the same entry, as the file system compares.
bool SamePath(const std::wstring& one, const std::wstring& other);
