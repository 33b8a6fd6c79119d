#pragma once
#include "ovlib/CWideString.h"

#include <windows.h>

#include <cstddef>

namespace ovQvl {

// Module name -> switch, ordered by exact code-unit comparison of the names.
// A sorted list rather than a standard container: those bring a good part of
// the C++ library into Setup.exe for a handful of entries read once.
class CModuleMap {
public:
    struct CEntry {
        ovLib::CWideString first;
        DWORD second;
    };

private:
    struct CNode {
        CEntry entry;
        CNode* next;
    };

public:
    class CIterator {
    public:
        explicit CIterator(const CNode* node) noexcept : m_node(node) {}
        const CEntry& operator*() const noexcept { return m_node->entry; }
        const CEntry* operator->() const noexcept { return &m_node->entry; }
        CIterator& operator++() noexcept
        {
            m_node = m_node->next;
            return *this;
        }
        bool operator!=(const CIterator& other) const noexcept { return m_node != other.m_node; }

    private:
        const CNode* m_node;
    };

    CModuleMap() noexcept = default;
    CModuleMap(const CModuleMap& other);  // throws when memory runs out
    CModuleMap& operator=(const CModuleMap& other);
    ~CModuleMap() { clear(); }

    // The entry of this name, inserted with 0 if absent. Throws when memory runs out.
    DWORD& operator[](const ovLib::CWideString& name);
    void clear() noexcept;
    bool empty() const noexcept { return m_head == nullptr; }
    std::size_t size() const noexcept { return m_size; }
    CIterator begin() const noexcept { return CIterator(m_head); }
    CIterator end() const noexcept { return CIterator(nullptr); }

private:
    CNode* m_head = nullptr;
    std::size_t m_size = 0;
};

} // namespace ovQvl
