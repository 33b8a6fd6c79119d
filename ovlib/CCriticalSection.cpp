#include "ovlib/CCriticalSection.h"

namespace ovLib {

// Unlike InitializeCriticalSection, this reports a lack of memory by its
// result instead of raising an exception.
CCriticalSection::CCriticalSection() noexcept
    : m_bReady(InitializeCriticalSectionAndSpinCount(&m_cs, 0) != FALSE)
{
}

CCriticalSection::CCriticalSection(CInfallible) noexcept : m_bReady(true)
{
    InitializeCriticalSection(&m_cs);
}

// The storage is cleared, so that a use after the end finds no live section.
CCriticalSection::~CCriticalSection()
{
    if (m_bReady)
        DeleteCriticalSection(&m_cs);
    SecureZeroMemory(&m_cs, sizeof(m_cs));
}

bool CCriticalSection::Enter() noexcept
{
    if (m_bReady)
        EnterCriticalSection(&m_cs);
    return m_bReady;
}

void CCriticalSection::Leave() noexcept
{
    LeaveCriticalSection(&m_cs);
}

CCriticalSection::CLock::CLock(CCriticalSection& section) noexcept
    : m_pSection(section.Enter() ? &section : nullptr)
{
}

CCriticalSection::CLock::~CLock()
{
    if (m_pSection)
        m_pSection->Leave();
}

} // namespace ovLib
