#include "bench/Measurements.h"

#include <windows.h>

#include <stdexcept>

namespace {

constexpr double kBytesPerKB = 1024;
constexpr double kGoalKB = 96;

} // namespace

// A build of the shipped preset whose payload slots hold empty files: the
// size of Setup itself, resource table and version block included.
void MeasureFootprint(const std::wstring& setupWithoutPayloads, CReport& report)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(setupWithoutPayloads.c_str(), GetFileExInfoStandard, &data))
        throw std::runtime_error("no Setup.exe built with empty payloads");
    const double bytes = static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    report.Add(CFigure(L"footprint.setup_i686", L"Size of the i686 Setup.exe without payloads", bytes / kBytesPerKB,
                       L"KB")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kGoalKB})
                   .Detail(L"bytes", bytes));
}
