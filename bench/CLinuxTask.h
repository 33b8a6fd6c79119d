#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The Linux process in which Wine runs a Windows program, seen through
// Wine's drive Z: (the Linux root). Wine's GetProcessTimes gives no CPU times
// for other processes; the scheduler's statistics give them to the
// nanosecond, for every thread.
class CLinuxTask {
public:
    // The one running process whose command line, as Wine sets it for the
    // Linux side, starts with this Windows path (compared without case).
    // None when there is none; throws when more than one matches.
    static std::optional<CLinuxTask> Find(const std::wstring& windowsPath);

    unsigned long Pid() const noexcept { return m_pid; }
    // CPU time of all its threads so far; none once the process has gone.
    std::optional<ULONGLONG> CpuTimeNs() const;

private:
    explicit CLinuxTask(unsigned long pid) noexcept : m_pid(pid) {}

    unsigned long m_pid;
};
