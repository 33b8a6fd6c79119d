#pragma once
#include "ovlib/CUniqueHandle.h"

#include <string>

struct CMappedViewTraits {
    using Type = void*;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type view) noexcept { UnmapViewOfFile(view); }
};

// Shared memory in which the payload leaves a system time, of its exit or of
// its start (bench/PayloadProtocol.h), in FILETIME units, the unit of
// GetProcessTimes.
class CTimeStamp {
public:
    // tag tells this process's stamps apart, as for CNamedEvent.
    explicit CTimeStamp(const wchar_t* tag);

    const std::wstring& Name() const noexcept { return m_strName; }
    void Clear() noexcept;
    // Throws when the payload left no stamp since the last Clear.
    ULONGLONG Read() const;

private:
    std::wstring m_strName;
    ovLib::CKernelHandle m_hMapping;
    ovLib::CUniqueHandle<CMappedViewTraits> m_view;
};

ULONGLONG FileTimeValue(const FILETIME& time) noexcept;
// The exit time of an ended process; throws when it cannot be read.
ULONGLONG ProcessExitTime(HANDLE process);
// The system time now, as precise as the system keeps it.
ULONGLONG PreciseSystemTime() noexcept;

constexpr double kFileTimeUnitsPerMs = 10000.0;
