#include "bench/Measurements.h"

#include "bench/CBenchRun.h"
#include "bench/CExitStamp.h"
#include "bench/PayloadProtocol.h"

#include <array>

namespace {

constexpr int kWarmUpRounds = 3;
constexpr int kRounds = 31;
constexpr double kSetupExcessGoalMs = 10;
constexpr double kExitLatencyGoalMs = 5;

enum Starter { kDirect, kLauncher, kSetup, kStarters };

struct CTimes {
    CSamples wallMs;
    CSamples exitLatencyMs;
};

} // namespace

// The payload stamps the time just before its ExitProcess; the exit time of
// the process that started it comes from the system, on the same clock.
void MeasureOverhead(const CBenchRig& rig, CReport& report)
{
    using Payload = CBenchRig::Payload;
    const std::array<std::wstring, kStarters> commands = {
        rig.DirectCommand(Payload::CompanionSize), rig.LauncherCommand(Payload::CompanionSize),
        rig.SetupCommand(CBenchRig::Setup::NoOpPayload)};
    CExitStamp stamp;
    winRun::CEnvironmentBlock environment = rig.Environment();
    environment.Set(benchPayload::kExitStamp, stamp.Name());

    std::array<CTimes, kStarters> times;
    for (int round = -kWarmUpRounds; round < kRounds; ++round) {
        // Each starter goes first in turn, so none gains from the order.
        for (int turn = 0; turn < kStarters; ++turn) {
            const int starter = (round + kWarmUpRounds + turn) % kStarters;
            stamp.Clear();
            CBenchRun run(commands[starter], environment);
            run.WaitForEnd();
            const double exitLatencyMs = static_cast<double>(run.ExitTime() - stamp.Read()) / kFileTimeUnitsPerMs;
            if (round < 0)
                continue;
            times[starter].wallMs.Add(run.WallMs());
            times[starter].exitLatencyMs.Add(exitLatencyMs);
        }
    }

    report.Add(CFigure(L"overhead.setup", L"Start to end: Setup + no-op payload (companion size)",
                       times[kSetup].wallMs, L"ms")
                   .Reference(times[kLauncher].wallMs, L"minimal_launcher")
                   .Goal({CGoal::Subject::Excess, CGoal::Bound::AtMost, kSetupExcessGoalMs}));
    report.Add(CFigure(L"overhead.minimal_launcher", L"Start to end: minimal launcher + the same payload",
                       times[kLauncher].wallMs, L"ms")
                   .Reference(times[kDirect].wallMs, L"payload_alone"));
    report.Add(CFigure(L"exit_latency.setup", L"Exit latency: payload's exit to Setup's exit",
                       times[kSetup].exitLatencyMs, L"ms")
                   .Reference(times[kLauncher].exitLatencyMs, L"minimal_launcher")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kExitLatencyGoalMs}));
    report.Add(CFigure(L"exit_latency.payload_alone", L"Exit latency: payload's stamp to its own exit",
                       times[kDirect].exitLatencyMs, L"ms"));
}
