#include "probe/CCriticalSectionLock.h"

void CCriticalSectionLock::Lock() noexcept
{
    Enter();
}

void CCriticalSectionLock::Unlock() noexcept
{
    Leave();
}

CCriticalSectionLock::~CCriticalSectionLock() = default;

void CCriticalSectionLock::Enter() noexcept
{
    m_csSection.Enter();
}

void CCriticalSectionLock::Leave() noexcept
{
    m_csSection.Leave();
}
