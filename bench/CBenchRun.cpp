#include "bench/CBenchRun.h"

#include "bench/CTimeStamp.h"

#include <stdexcept>

namespace {

constexpr DWORD kRunLimitMs = 120000;

} // namespace

CBenchRun::CBenchRun(const std::wstring& commandLine, const winRun::CEnvironmentBlock& environment)
{
    m_ullStartTime = PreciseSystemTime();
    m_stopwatch.Restart();
    if (!m_process.Start(commandLine, L"", environment))
        throw std::runtime_error("cannot start a program, error " + std::to_string(GetLastError()));
}

bool CBenchRun::Wait(DWORD milliseconds)
{
    if (!m_process.Wait(milliseconds))
        return false;
    if (!m_wallMs)
        m_wallMs = m_stopwatch.ElapsedMs();
    return true;
}

void CBenchRun::WaitForEnd()
{
    if (!Wait(kRunLimitMs))
        throw std::runtime_error("a program did not end in time");
    if (m_process.ExitCode() != 0)
        throw std::runtime_error("a program ended with " + std::to_string(m_process.ExitCode()) +
                                 " instead of its payload's 0");
}

double CBenchRun::WallMs() const
{
    if (!m_wallMs)
        throw std::logic_error("the program has not ended");
    return *m_wallMs;
}

ULONGLONG CBenchRun::ExitTime() const
{
    return ProcessExitTime(m_process.Handle());
}
