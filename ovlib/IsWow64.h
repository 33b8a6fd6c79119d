#pragma once
#include <windows.h>

namespace ovLib {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// The WOW64 question of a kernel library, looked up by name; null where the
// system lacks it.
IsWow64ProcessFn Wow64Question(HMODULE kernel) noexcept;
// Asks it about the calling process: the call's result, and its flag in
// wow64. A null question answers FALSE and leaves wow64 as it was.
BOOL AskWow64(IsWow64ProcessFn question, BOOL& wow64) noexcept;

// Whether the calling process runs under WOW64. Asks the system on every call.
bool IsWow64() noexcept;

} // namespace ovLib
