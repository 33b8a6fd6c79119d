#pragma once
#include <cstddef>
#include <optional>
#include <string>

// A file as the driver finds it after a run: its exact bytes.
class CWrittenFile {
public:
    // Empty when there is no such file.
    static std::optional<CWrittenFile> Read(const std::wstring& path);

    const std::string& Bytes() const noexcept { return m_bytes; }
    bool StartsWithByteOrderMark() const noexcept;  // FF FE
    // The bytes from offset on as UTF-16LE units; throws std::runtime_error
    // for an odd number of bytes.
    std::wstring Utf16(std::size_t offset = 0) const;

    // The bytes of text as UTF-16LE, for files a test makes beforehand.
    static std::string Utf16Bytes(const std::wstring& text);

private:
    std::string m_bytes;
};
