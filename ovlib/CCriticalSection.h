#pragma once
#include <windows.h>

namespace ovLib {

// A recursive lock that may fail to come into being when memory is short;
// every attempt to take such a lock fails.
class CCriticalSection {
public:
    CCriticalSection() noexcept;
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection();

    bool IsReady() const noexcept { return m_bReady; }

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
