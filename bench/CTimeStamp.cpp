#include "bench/CTimeStamp.h"

#include "bench/CNamedEvent.h"
#include "bench/PayloadProtocol.h"

#include <cstring>
#include <stdexcept>

CTimeStamp::CTimeStamp(const wchar_t* tag)
    : m_strName(CNamedEvent::UniqueName(tag)),
      m_hMapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(FILETIME),
                                    m_strName.c_str()))
{
    if (m_hMapping)
        m_view.reset(MapViewOfFile(m_hMapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(FILETIME)));
    if (!m_view)
        throw std::runtime_error("cannot map a time stamp");
    Clear();
}

void CTimeStamp::Clear() noexcept
{
    std::memset(m_view.get(), 0, sizeof(FILETIME));
}

ULONGLONG CTimeStamp::Read() const
{
    FILETIME stamp;
    std::memcpy(&stamp, m_view.get(), sizeof(stamp));
    const ULONGLONG value = FileTimeValue(stamp);
    if (value == 0)
        throw std::runtime_error("the payload left no time stamp: it did not run");
    return value;
}

ULONGLONG FileTimeValue(const FILETIME& time) noexcept
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG PreciseSystemTime() noexcept
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return FileTimeValue(now);
}

ULONGLONG ProcessExitTime(HANDLE process)
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user) || FileTimeValue(exit) == 0)
        throw std::runtime_error("no exit time for an ended process");
    return FileTimeValue(exit);
}
