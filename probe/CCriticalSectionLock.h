#pragma once
#include "ovlib/CCriticalSection.h"

// A lock over one critical section of its own, always ready. Lock and Unlock
// go through Enter and Leave by the virtual table, so a derived lock can take
// them over.
class CCriticalSectionLock {
public:
    CCriticalSectionLock() noexcept : m_csSection(ovLib::CCriticalSection::CInfallible{}) {}
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

    virtual void Lock() noexcept;
    virtual void Unlock() noexcept;
    virtual ~CCriticalSectionLock();
    virtual void Enter() noexcept;
    virtual void Leave() noexcept;

    // Holds a lock for one scope, left on every path out of it.
    class CHold {
    public:
        explicit CHold(CCriticalSectionLock& lock) noexcept : m_lock(lock) { m_lock.Lock(); }
        CHold(const CHold&) = delete;
        CHold& operator=(const CHold&) = delete;
        ~CHold() { m_lock.Unlock(); }

    private:
        CCriticalSectionLock& m_lock;
    };

private:
    ovLib::CCriticalSection m_csSection;
};
