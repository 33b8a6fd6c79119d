#pragma once
#include <windows.h>

#include <string>

// The resources of the test program itself (tests/setup/SetupTests.rc), which
// CInstaller extracts when it is given no module.
constexpr WORD kMissingResource = 999;
constexpr WORD kEmptyResource = 147;
// Bytes of BIN 145 and BIN 146 as the resource script spells them.
extern const std::string kPayload32Bytes;
extern const std::string kPayload64Bytes;

bool FileExists(const std::wstring& path);
// Empty when the file cannot be read.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);

// The mapped bytes of one of the test program's BIN resources.
const void* ResourceMemory(WORD id);

// Full path of a program in the system folder, e.g. "cmd.exe".
std::wstring SystemProgram(const wchar_t* name);
