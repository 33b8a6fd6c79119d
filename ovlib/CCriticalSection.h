#pragma once
#include <windows.h>

namespace ovLib {

// A recursive lock over one critical section of its own. Made the default
// way, it may fail to come into being when memory is short; every attempt to
// take such a lock fails.
class CCriticalSection {
public:
    // InitializeCriticalSection, which cannot fail from NT 6.0 on (before, it
    // raises an exception when memory is short): the lock is always ready.
    struct CInfallible {};

    CCriticalSection() noexcept;
    explicit CCriticalSection(CInfallible) noexcept;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection();

    bool IsReady() const noexcept { return m_bReady; }

    // False, taking nothing, when the lock is not ready.
    bool Enter() noexcept;
    // Only after an Enter that returned true.
    void Leave() noexcept;

    // Holds the lock for its own lifetime, if it could take it.
    class CLock {
    public:
        explicit CLock(CCriticalSection& section) noexcept;
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;
        ~CLock();

        explicit operator bool() const noexcept { return m_pSection != nullptr; }

    private:
        CCriticalSection* m_pSection;
    };

private:
    CRITICAL_SECTION m_cs;
    bool m_bReady;
};

} // namespace ovLib
