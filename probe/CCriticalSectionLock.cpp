#include "probe/CCriticalSectionLock.h"

CCriticalSectionLock::CCriticalSectionLock() noexcept
{
    InitializeCriticalSection(&m_section);
}

void CCriticalSectionLock::Lock() noexcept
{
    Enter();
}

void CCriticalSectionLock::Unlock() noexcept
{
    Leave();
}

CCriticalSectionLock::~CCriticalSectionLock()
{
    DeleteCriticalSection(&m_section);
    SecureZeroMemory(&m_section, sizeof(m_section));
}

void CCriticalSectionLock::Enter() noexcept
{
    EnterCriticalSection(&m_section);
}

void CCriticalSectionLock::Leave() noexcept
{
    LeaveCriticalSection(&m_section);
}
