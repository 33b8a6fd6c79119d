#include "ovlib/CCriticalSection.h"

namespace ovLib {

// Unlike InitializeCriticalSection, this reports a lack of memory by its
// result instead of raising an exception.
CCriticalSection::CCriticalSection() noexcept
    : m_bReady(InitializeCriticalSectionAndSpinCount(&m_cs, 0) != FALSE)
{
}

CCriticalSection::~CCriticalSection()
{
    if (m_bReady)
        DeleteCriticalSection(&m_cs);
}

CCriticalSection::CLock::CLock(CCriticalSection& section) noexcept
    : m_pSection(section.m_bReady ? &section : nullptr)
{
    if (m_pSection)
        EnterCriticalSection(&m_pSection->m_cs);
}

CCriticalSection::CLock::~CLock()
{
    if (m_pSection)
        LeaveCriticalSection(&m_pSection->m_cs);
}

} // namespace ovLib
