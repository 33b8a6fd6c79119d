#pragma once
#include "ovlib/CUniqueHandle.h"

#include <string>

struct CMappedViewTraits {
    using Type = void*;
    static constexpr Type Empty() noexcept { return nullptr; }
    static void Release(Type view) noexcept { UnmapViewOfFile(view); }
};

// Shared memory in which the payload leaves the system time of its exit
// (bench/PayloadProtocol.h), in FILETIME units, the unit of GetProcessTimes.
class CExitStamp {
public:
    CExitStamp();

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

constexpr double kFileTimeUnitsPerMs = 10000.0;
