#pragma once
#include "tests/support/CTestFolder.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// SetupPack started as an installer engineer starts it: from a folder of the
// test's own that holds its inputs, so that plain file names name them.
class CPackRun {
public:
    CPackRun() : m_folder(L"pack") {}

    const std::wstring& Folder() const noexcept { return m_folder.Path(); }
    std::wstring PathOf(const std::wstring& name) const { return m_folder.File(name.c_str()); }
    void Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> Read(const std::wstring& name) const { return ReadFile(PathOf(name)); }

    // Starts SetupPack with these arguments and waits for it; its exit code.
    DWORD Run(const std::vector<std::wstring>& arguments);
    // What it wrote on its standard output and error, in the last run.
    const std::string& Said() const noexcept { return m_strSaid; }

    // A program that the build put next to the driver, in its "pack" folder.
    static std::wstring ProgramPath(const std::wstring& name);
    // A file's bytes; empty when it cannot be read.
    static std::vector<std::uint8_t> ReadFile(const std::wstring& path);

private:
    testing_support::CTestFolder m_folder;
    std::string m_strSaid;
};
