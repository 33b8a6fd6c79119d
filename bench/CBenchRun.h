#pragma once
#include "bench/CStopwatch.h"
#include "tools/winrun/CChildProcess.h"

#include <optional>

// One start of a program by the driver, timed from just before the start to
// the moment the driver sees its end.
class CBenchRun {
public:
    // Throws when the program cannot be started.
    CBenchRun(const std::wstring& commandLine, const winRun::CEnvironmentBlock& environment);

    HANDLE Handle() const noexcept { return m_process.Handle(); }
    // True once the program has ended.
    bool Wait(DWORD milliseconds);
    // Throws when the program does not end in time or ends with another code
    // than 0, the payload's.
    void WaitForEnd();

    // Once ended.
    double WallMs() const;
    ULONGLONG ExitTime() const;
    // The system time just before the start, in FILETIME units.
    ULONGLONG StartTime() const noexcept { return m_ullStartTime; }

private:
    ULONGLONG m_ullStartTime = 0;
    CStopwatch m_stopwatch;
    winRun::CChildProcess m_process;
    std::optional<double> m_wallMs;
};
