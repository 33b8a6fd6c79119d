#include "bench/Measurements.h"

#include "bench/CBenchRun.h"
#include "bench/CTimeStamp.h"
#include "bench/PayloadProtocol.h"

#include <array>

namespace {

constexpr int kWarmUpRounds = 3;
constexpr int kRounds = 31;
constexpr double kSetupExcessGoalMs = 10;
constexpr double kExitLatencyGoalMs = 5;

// The payload alone, the floor of any bootstrapper, Setup, and a peer.
enum Starter { kDirect, kLauncher, kSetup, kPeer, kStarters };

struct CTimes {
    CSamples wallMs;
    CSamples startMs;  // from just before the start to the payload's first instruction
    CSamples exitLatencyMs;
};

double Ms(ULONGLONG fileTimeUnits)
{
    return static_cast<double>(fileTimeUnits) / kFileTimeUnitsPerMs;
}

} // namespace

// The payload stamps the time first thing and just before its ExitProcess;
// the driver's time before the start and the exit time of the process that
// started the payload come from the system, on the same clock.
void MeasureOverhead(const CBenchRig& rig, CReport& report)
{
    using Payload = CBenchRig::Payload;
    const std::array<std::wstring, kStarters> commands = {
        rig.DirectCommand(Payload::CompanionSize), rig.LauncherCommand(Payload::CompanionSize),
        rig.SetupCommand(CBenchRig::Setup::NoOpPayload), rig.PeerCommand()};
    CTimeStamp started(L"start-stamp");
    CTimeStamp stamp(L"exit-stamp");
    winRun::CEnvironmentBlock environment = rig.Environment();
    environment.Set(benchPayload::kStartStamp, started.Name());
    environment.Set(benchPayload::kExitStamp, stamp.Name());

    std::array<CTimes, kStarters> times;
    for (int round = -kWarmUpRounds; round < kRounds; ++round) {
        // Each starter goes first in turn, so none gains from the order.
        for (int turn = 0; turn < kStarters; ++turn) {
            const int starter = (round + kWarmUpRounds + turn) % kStarters;
            started.Clear();
            stamp.Clear();
            CBenchRun run(commands[starter], environment);
            run.WaitForEnd();
            const double startMs = Ms(started.Read() - run.StartTime());
            const double exitLatencyMs = Ms(run.ExitTime() - stamp.Read());
            if (round < 0)
                continue;
            times[starter].wallMs.Add(run.WallMs());
            times[starter].startMs.Add(startMs);
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
    report.Add(CFigure(L"overhead.nsis_peer", L"Start to end: NSIS bootstrapper + the same payload",
                       times[kPeer].wallMs, L"ms")
                   .Reference(times[kLauncher].wallMs, L"minimal_launcher"));
    report.Add(CFigure(L"payload_start.setup", L"Time to payload start: Setup", times[kSetup].startMs, L"ms")
                   .Reference(times[kLauncher].startMs, L"minimal_launcher"));
    report.Add(CFigure(L"payload_start.minimal_launcher", L"Time to payload start: minimal launcher",
                       times[kLauncher].startMs, L"ms")
                   .Reference(times[kDirect].startMs, L"payload_alone"));
    report.Add(CFigure(L"payload_start.nsis_peer", L"Time to payload start: NSIS bootstrapper",
                       times[kPeer].startMs, L"ms")
                   .Reference(times[kLauncher].startMs, L"minimal_launcher"));
    report.Add(CFigure(L"exit_latency.setup", L"Exit latency: payload's exit to Setup's exit",
                       times[kSetup].exitLatencyMs, L"ms")
                   .Reference(times[kLauncher].exitLatencyMs, L"minimal_launcher")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kExitLatencyGoalMs}));
    report.Add(CFigure(L"exit_latency.payload_alone", L"Exit latency: payload's stamp to its own exit",
                       times[kDirect].exitLatencyMs, L"ms"));
}
