#include "tests/e2e/CWrittenFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

std::optional<CWrittenFile> CWrittenFile::Read(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    CWrittenFile file;
    file.m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return file;
}

bool CWrittenFile::StartsWithByteOrderMark() const noexcept
{
    return m_bytes.size() >= 2 && m_bytes[0] == '\xFF' && m_bytes[1] == '\xFE';
}

std::wstring CWrittenFile::Utf16(std::size_t offset) const
{
    if (offset > m_bytes.size() || (m_bytes.size() - offset) % 2 != 0)
        throw std::runtime_error("not whole UTF-16 units: " + std::to_string(m_bytes.size()) + " bytes");
    std::wstring text;
    for (std::size_t i = offset; i < m_bytes.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(m_bytes[i]) |
                                     static_cast<unsigned char>(m_bytes[i + 1]) << 8);
    return text;
}

std::string CWrittenFile::Utf16Bytes(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}
