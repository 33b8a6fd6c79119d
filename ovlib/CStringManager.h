#pragma once
#include <windows.h>

namespace ovLib {

class CProcessHeapAllocator;

// Header of a wide string's storage; the characters follow it.
struct CStringData {
    LONG refs;
    int length;    // without the terminator
    int capacity;  // characters that fit, without the terminator

    wchar_t* Chars() noexcept { return reinterpret_cast<wchar_t*>(this + 1); }
};

// Owns the storage of every wide string; throws CAtlException(E_OUTOFMEMORY)
// instead of returning null.
class CStringManager {
public:
    explicit CStringManager(CProcessHeapAllocator& allocator) noexcept;

    // A block with one reference, length 0 and room for capacity characters.
    CStringData* Allocate(int capacity);
    // Grows an unshared block in place or moves it; the old block stays valid on failure.
    CStringData* Reallocate(CStringData* data, int capacity);
    void Free(CStringData* data) noexcept;

private:
    CProcessHeapAllocator& m_allocator;
};

} // namespace ovLib

namespace ovLib {
// The process-wide manager, built at start-up (see setup/ProcessObjects.cpp).
extern CStringManager g_StringManager;
} // namespace ovLib
