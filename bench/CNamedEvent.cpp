#include "bench/CNamedEvent.h"

#include <stdexcept>

std::wstring CNamedEvent::UniqueName(const wchar_t* tag)
{
    return L"Local\\setup-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" + tag;
}

CNamedEvent::CNamedEvent(const wchar_t* tag)
    : m_strName(UniqueName(tag)), m_hEvent(CreateEventW(nullptr, FALSE, FALSE, m_strName.c_str()))
{
    if (!m_hEvent)
        throw std::runtime_error("cannot create an event");
}

void CNamedEvent::Set() const
{
    SetEvent(m_hEvent.get());
}

void CNamedEvent::Reset() const
{
    ResetEvent(m_hEvent.get());
}

bool CNamedEvent::Wait(DWORD milliseconds) const
{
    return WaitForSingleObject(m_hEvent.get(), milliseconds) == WAIT_OBJECT_0;
}
