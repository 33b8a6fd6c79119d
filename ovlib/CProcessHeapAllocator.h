#pragma once
#include <windows.h>
#include <cstddef>

namespace ovLib {

// Hands out blocks of the process's default heap. The heap belongs to the
// process: this object never creates or destroys it.
class CProcessHeapAllocator {
public:
    CProcessHeapAllocator() noexcept;

    // Null when the heap is exhausted.
    void* Allocate(std::size_t bytes) noexcept;
    // Null when the block cannot grow; the old block is then still valid.
    void* Reallocate(void* block, std::size_t bytes) noexcept;
    void Free(void* block) noexcept;

private:
    HANDLE m_hHeap;
};

} // namespace ovLib
