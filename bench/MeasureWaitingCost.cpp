#include "bench/Measurements.h"

#include "bench/CBenchRun.h"
#include "bench/CLinuxTask.h"
#include "bench/CNamedEvent.h"
#include "bench/CStopwatch.h"
#include "bench/PayloadProtocol.h"

#include <stdexcept>

namespace {

constexpr int kRounds = 7;
constexpr DWORD kPayloadRunMs = 5000;
constexpr DWORD kSignalLimitMs = 60000;
constexpr double kGoalMs = 20;

struct CHoldEvents {
    CNamedEvent started{L"started"};
    CNamedEvent slept{L"slept"};
    CNamedEvent release{L"release"};
};

ULONGLONG CpuTimeNs(const CLinuxTask& task)
{
    const std::optional<ULONGLONG> time = task.CpuTimeNs();
    if (!time)
        throw std::runtime_error("the starter's Linux process went away while its payload ran");
    return *time;
}

// CPU time of the program at path between its payload's start and the end of
// the payload's sleep, while the payload still runs.
double WaitingCpuMs(const std::wstring& path, const std::wstring& commandLine,
                    const winRun::CEnvironmentBlock& environment, const CHoldEvents& events,
                    CSamples& bracketMs)
{
    for (const CNamedEvent* event : {&events.started, &events.slept, &events.release})
        event->Reset();
    CBenchRun run(commandLine, environment);
    if (!events.started.Wait(kSignalLimitMs))
        throw std::runtime_error("the payload did not start");
    const std::optional<CLinuxTask> task = CLinuxTask::Find(path);
    if (!task)
        throw std::runtime_error("no Linux process runs the payload's starter");
    const ULONGLONG before = CpuTimeNs(*task);
    const CStopwatch bracket;
    if (!events.slept.Wait(kSignalLimitMs))
        throw std::runtime_error("the payload did not end its sleep");
    const ULONGLONG after = CpuTimeNs(*task);
    bracketMs.Add(bracket.ElapsedMs());
    events.release.Set();
    run.WaitForEnd();
    return static_cast<double>(after - before) / 1e6;
}

} // namespace

void MeasureWaitingCost(const CBenchRig& rig, CReport& report)
{
    const CHoldEvents events;
    winRun::CEnvironmentBlock environment = rig.Environment();
    environment.Set(benchPayload::kStartedEvent, events.started.Name());
    environment.Set(benchPayload::kSleepMs, std::to_wstring(kPayloadRunMs));
    environment.Set(benchPayload::kSleptEvent, events.slept.Name());
    environment.Set(benchPayload::kReleaseEvent, events.release.Name());

    const CBenchRig::Setup setup = CBenchRig::Setup::NoOpPayload;
    CSamples setupMs, launcherMs, bracketMs;
    for (int round = 0; round < kRounds; ++round) {
        setupMs.Add(WaitingCpuMs(rig.SetupPath(setup), rig.SetupCommand(setup), environment, events, bracketMs));
        launcherMs.Add(WaitingCpuMs(rig.LauncherPath(), rig.LauncherCommand(CBenchRig::Payload::CompanionSize),
                                    environment, events, bracketMs));
    }
    report.Add(CFigure(L"waiting_cpu.setup", L"CPU time of Setup while its payload runs 5 s", setupMs, L"ms")
                   .Reference(launcherMs, L"minimal_launcher")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kGoalMs})
                   .Detail(L"bracket_ms", bracketMs.Median()));
}
