#include "tests/e2e/CHeldFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

CHeldFile::CHeldFile(const std::wstring& path, const std::string& text) : m_strPath(path)
{
    std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
    m_hFile.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string CHeldFile::Text() const
{
    std::ifstream file(std::filesystem::path(m_strPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
