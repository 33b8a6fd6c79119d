#include "bench/Measurements.h"

#include "bench/CBenchRun.h"
#include "bench/PayloadProtocol.h"

#include <psapi.h>

#include <algorithm>

namespace {

constexpr int kRounds = 5;
// Long enough for many samples while Setup waits for its payload.
constexpr DWORD kPayloadRunMs = 300;
constexpr DWORD kSampleMs = 1;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;
constexpr double kGoalMiB = 4;

// On Windows PagefileUsage is the private commit charge. Wine fills it with
// the resident anonymous memory of the Linux process, keeps no peak of it
// (PeakPagefileUsage is the current value) and answers nothing once the
// process has ended: so the driver samples it every millisecond while the
// program runs and keeps the largest.
double PeakPrivateMiB(const std::wstring& commandLine, const winRun::CEnvironmentBlock& environment)
{
    CBenchRun run(commandLine, environment);
    SIZE_T peak = 0;
    while (!run.Wait(kSampleMs)) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(run.Handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof(counters)))
            peak = std::max({peak, counters.PagefileUsage, counters.PrivateUsage});
    }
    run.WaitForEnd();
    return static_cast<double>(peak) / kBytesPerMiB;
}

} // namespace

void MeasureMemory(const CBenchRig& rig, CReport& report)
{
    using Setup = CBenchRig::Setup;
    winRun::CEnvironmentBlock environment = rig.Environment();
    environment.Set(benchPayload::kSleepMs, std::to_wstring(kPayloadRunMs));

    CSamples shipped, pageAligned, small, launcher;
    for (int round = 0; round < kRounds; ++round) {
        shipped.Add(PeakPrivateMiB(rig.SetupCommand(Setup::Payload64MiB), environment));
        pageAligned.Add(PeakPrivateMiB(rig.SetupCommand(Setup::Payload64MiBPageAligned), environment));
        small.Add(PeakPrivateMiB(rig.SetupCommand(Setup::NoOpPayload), environment));
        launcher.Add(PeakPrivateMiB(rig.LauncherCommand(CBenchRig::Payload::Size64MiB), environment));
    }
    const CGoal goal = {CGoal::Subject::Value, CGoal::Bound::AtMost, kGoalMiB};
    report.Add(CFigure(L"peak_private.setup_64mib", L"Peak private bytes: Setup, 64 MiB payload", shipped, L"MiB")
                   .Reference(launcher, L"minimal_launcher")
                   .Goal(goal));
    report.Add(CFigure(L"peak_private.setup_64mib_page_aligned",
                       L"Peak private bytes: Setup, 64 MiB payload, 4 KiB file alignment", pageAligned, L"MiB")
                   .Reference(launcher, L"minimal_launcher")
                   .Goal(goal));
    report.Add(CFigure(L"peak_private.setup_companion_size", L"Peak private bytes: Setup, companion-size payload",
                       small, L"MiB")
                   .Reference(launcher, L"minimal_launcher")
                   .Goal(goal));
}
