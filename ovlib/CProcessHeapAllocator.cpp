#include "ovlib/CProcessHeapAllocator.h"

namespace ovLib {

CProcessHeapAllocator::CProcessHeapAllocator() noexcept : m_hHeap(GetProcessHeap()) {}

void* CProcessHeapAllocator::Allocate(std::size_t bytes) noexcept
{
    return HeapAlloc(m_hHeap, 0, bytes);
}

void* CProcessHeapAllocator::Reallocate(void* block, std::size_t bytes) noexcept
{
    return HeapReAlloc(m_hHeap, 0, block, bytes);
}

void CProcessHeapAllocator::Free(void* block) noexcept
{
    if (block)
        HeapFree(m_hHeap, 0, block);
}

} // namespace ovLib
