#include "trace/CModuleMap.h"

namespace ovQvl {

CModuleMap::CModuleMap(const CModuleMap& other)
{
    // Appends in the other's order, which is already sorted.
    CNode** tail = &m_head;
    try {
        for (const CEntry& entry : other) {
            *tail = new CNode{entry, nullptr};
            tail = &(*tail)->next;
            ++m_size;
        }
    } catch (...) {
        clear();
        throw;
    }
}

CModuleMap& CModuleMap::operator=(const CModuleMap& other)
{
    if (this != &other) {
        CModuleMap copy(other);
        clear();
        m_head = copy.m_head;
        m_size = copy.m_size;
        copy.m_head = nullptr;
        copy.m_size = 0;
    }
    return *this;
}

DWORD& CModuleMap::operator[](const ovLib::CWideString& name)
{
    CNode** link = &m_head;
    while (*link && (*link)->entry.first.Compare(name) < 0)
        link = &(*link)->next;
    if (!*link || (*link)->entry.first.Compare(name) != 0) {
        *link = new CNode{{name, 0}, *link};
        ++m_size;
    }
    return (*link)->entry.second;
}

void CModuleMap::clear() noexcept
{
    while (m_head) {
        CNode* next = m_head->next;
        delete m_head;
        m_head = next;
    }
    m_size = 0;
}

} // namespace ovQvl
