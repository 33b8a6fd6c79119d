#pragma once
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Replaces resources of an image file in one transaction: nothing is written
// unless Commit succeeds.
class CResourceUpdate {
public:
    // False, with GetLastError set, when the file cannot be opened for it.
    bool Begin(const std::wstring& path);
    bool Replace(const wchar_t* type, WORD id, WORD language, const std::vector<std::uint8_t>& bytes);
    bool Commit();

private:
    struct CUpdateTraits {
        using Type = HANDLE;
        static constexpr Type Empty() noexcept { return nullptr; }
        // Ends the update without writing.
        static void Release(Type h) noexcept { EndUpdateResourceW(h, TRUE); }
    };
    ovLib::CUniqueHandle<CUpdateTraits> m_hUpdate;
};
