#include "tests/setup/TestFiles.h"

#include "ovlib/CUniqueHandle.h"

#include <gtest/gtest.h>

const std::string kPayload32Bytes("MZ 145 x86\0\xFF\n\r!", 15);
const std::string kPayload64Bytes("MZ 146 x64 payload\xFF\0?", 21);

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::wstring& path)
{
    ovLib::CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string bytes(GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    ovLib::CFileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        ADD_FAILURE() << "cannot write the test file, error " << GetLastError();
}

const void* ResourceMemory(WORD id)
{
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BIN");
    return resource ? LockResource(LoadResource(nullptr, resource)) : nullptr;
}

std::wstring SystemProgram(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length) + L"\\" + name;
}
