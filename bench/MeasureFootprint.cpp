#include "bench/Measurements.h"

#include <windows.h>

#include <stdexcept>

namespace {

constexpr double kBytesPerKB = 1024;
constexpr double kGoalKB = 96;

double FileBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        throw std::runtime_error("a program to weigh was not built");
    return static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

} // namespace

// A build of the shipped preset whose payload slots hold empty files: the
// size of Setup itself, resource table and version block included. Beside
// it, the peer made with an empty payload.
void MeasureFootprint(const std::wstring& setupWithoutPayloads, const std::wstring& peerWithoutPayload,
                      CReport& report)
{
    const double bytes = FileBytes(setupWithoutPayloads);
    report.Add(CFigure(L"footprint.setup_i686", L"Size of the i686 Setup.exe without payloads", bytes / kBytesPerKB,
                       L"KB")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kGoalKB})
                   .Detail(L"bytes", bytes));
    const double peerBytes = FileBytes(peerWithoutPayload);
    report.Add(CFigure(L"footprint.nsis_peer", L"Size of the NSIS bootstrapper (amd64) without payload",
                       peerBytes / kBytesPerKB, L"KB")
                   .Detail(L"bytes", peerBytes));
}
