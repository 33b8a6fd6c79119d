// bench.exe <Setup.exe of the shipped preset with empty payloads>: measures
// what Setup costs beyond the payload it starts and prints a table and one
// BENCH line per figure. tools/bench.sh builds everything and runs it.
#include "bench/Measurements.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <functional>

namespace {

void Step(const wchar_t* what, const std::function<void()>& measure)
{
    std::fwprintf(stderr, L"bench: %ls\n", what);
    std::fflush(stderr);
    measure();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: bench <Setup.exe built with empty payloads>\n");
        return ERROR_BAD_ARGUMENTS;
    }
    try {
        CReport report;
        std::wstring peerWithoutPayload;
        {
            const CBenchRig rig;
            peerWithoutPayload = rig.PeerPath(false);
            Step(L"trace calls", [&] { MeasureTrace(rig, report); });
            Step(L"extraction of 64 MiB", [&] { MeasureExtraction(rig, report); });
            Step(L"start to end and exit latency", [&] { MeasureOverhead(rig, report); });
            Step(L"CPU time while the payload runs 5 s", [&] { MeasureWaitingCost(rig, report); });
            Step(L"peak private bytes", [&] { MeasureMemory(rig, report); });
        }
        MeasureFootprint(argv[1], peerWithoutPayload, report);
        std::fwprintf(stdout, L"\n");
        report.Print(stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fwprintf(stderr, L"bench: %hs\n", e.what());
        return ERROR_GEN_FAILURE;
    }
}
