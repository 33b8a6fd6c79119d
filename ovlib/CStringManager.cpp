#include "ovlib/CStringManager.h"

#include "ovlib/CAtlException.h"
#include "ovlib/CProcessHeapAllocator.h"

#include <climits>

namespace ovLib {

namespace {

std::size_t BlockSize(int capacity)
{
    constexpr int kMaxCapacity = (INT_MAX - static_cast<int>(sizeof(CStringData))) / 2 - 1;
    if (capacity < 0 || capacity > kMaxCapacity)
        throw CAtlException(E_OUTOFMEMORY);
    return sizeof(CStringData) + (static_cast<std::size_t>(capacity) + 1) * sizeof(wchar_t);
}

} // namespace

CStringManager::CStringManager(CProcessHeapAllocator& allocator) noexcept : m_allocator(allocator) {}

CStringData* CStringManager::Allocate(int capacity)
{
    auto* data = static_cast<CStringData*>(m_allocator.Allocate(BlockSize(capacity)));
    if (!data)
        throw CAtlException(E_OUTOFMEMORY);
    data->refs = 1;
    data->length = 0;
    data->capacity = capacity;
    data->Chars()[0] = L'\0';
    return data;
}

CStringData* CStringManager::Reallocate(CStringData* data, int capacity)
{
    auto* grown = static_cast<CStringData*>(m_allocator.Reallocate(data, BlockSize(capacity)));
    if (!grown)
        throw CAtlException(E_OUTOFMEMORY);
    grown->capacity = capacity;
    return grown;
}

void CStringManager::Free(CStringData* data) noexcept
{
    m_allocator.Free(data);
}

} // namespace ovLib
