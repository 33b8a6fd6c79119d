#include "bench/Measurements.h"

#include "bench/BenchResource.h"
#include "bench/CStopwatch.h"
#include "setup/CInstaller.h"

#include <windows.h>

#include <stdexcept>

namespace {

constexpr int kWarmUpRounds = 2;
constexpr int kRounds = 11;
constexpr double kBytes = 64.0 * 1024 * 1024;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;
constexpr double kGoalRatio = 0.9;

ULONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Both start from no file, so neither pays for truncating the other's.
template <class Write>
double ThroughputMiBs(const std::wstring& target, Write write)
{
    DeleteFileW(target.c_str());
    const CStopwatch stopwatch;
    const bool written = write();
    const double seconds = stopwatch.ElapsedMs() / 1000.0;
    if (!written || FileSize(target) != static_cast<ULONGLONG>(kBytes))
        throw std::runtime_error("a 64 MiB file was not written whole");
    return kBytes / kBytesPerMiB / seconds;
}

} // namespace

void MeasureExtraction(const CBenchRig& rig, CReport& report)
{
    const std::wstring target = rig.TempFolder() + L"\\extracted.bin";
    const std::wstring source = rig.PayloadSource(CBenchRig::Payload::Size64MiB);
    CInstaller installer;
    CSamples extraction, copy;
    const auto extract = [&] {
        return ThroughputMiBs(target, [&] {
            return installer.ExtractResource(BENCH_PAYLOAD_ID, L"BIN", target.c_str(), nullptr);
        });
    };
    const auto copyFile = [&] {
        return ThroughputMiBs(target, [&] { return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE; });
    };
    for (int round = -kWarmUpRounds; round < kRounds; ++round) {
        // Each goes first in turn, so neither gains from the other's writes.
        double extracted = 0;
        double copied = 0;
        if (round % 2) {
            copied = copyFile();
            extracted = extract();
        } else {
            extracted = extract();
            copied = copyFile();
        }
        if (round < 0)
            continue;
        extraction.Add(extracted);
        copy.Add(copied);
    }
    DeleteFileW(target.c_str());
    report.Add(CFigure(L"extraction.throughput", L"Extraction of a 64 MiB payload (ExtractResource)", extraction,
                       L"MiB/s")
                   .Reference(copy, L"CopyFileW")
                   .Goal({CGoal::Subject::Ratio, CGoal::Bound::AtLeast, kGoalRatio}));
}
