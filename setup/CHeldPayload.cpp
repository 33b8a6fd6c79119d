#include "setup/CHeldPayload.h"

#include "setup/CResourceReader.h"

#include <cstring>

namespace {

constexpr DWORD kChunkBytes = 64 * 1024;

} // namespace

bool CHeldPayload::Hold(const wchar_t* path, WORD id, const wchar_t* type, HMODULE module) noexcept
{
    Release();
    CResourceReader resource;
    if (resource.Read(id, type, module) != CResourceReader::Step::None)
        return false;

    // The file at that name itself: a link swapped in is not followed, and
    // its own bytes never match.
    m_hFile.reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!m_hFile || !Matches(static_cast<const BYTE*>(resource.Bytes()), resource.Size())) {
        Release();
        return false;
    }
    return true;
}

// Byte for byte, and not one byte more.
bool CHeldPayload::Matches(const BYTE* expected, DWORD size) noexcept
{
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(m_hFile.get(), &fileSize) || fileSize.QuadPart != size)
        return false;
    BYTE chunk[kChunkBytes];
    for (DWORD offset = 0; offset < size;) {
        const DWORD wanted = size - offset < kChunkBytes ? size - offset : kChunkBytes;
        DWORD read = 0;
        if (!ReadFile(m_hFile.get(), chunk, wanted, &read, nullptr) || read == 0 ||
            std::memcmp(chunk, expected + offset, read) != 0)
            return false;
        offset += read;
    }
    return true;
}
