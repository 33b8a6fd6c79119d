#include "bench/Measurements.h"

#include "bench/CStopwatch.h"
#include "bench/EmptyCall.h"
#include "ovlib/CUniqueHandle.h"
#include "trace/CDebugOptions.h"
#include "trace/CRegDebugOutput.h"
#include "trace/Trace.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kBatches = 21;
constexpr int kCallsPerBatch = 10000000;
constexpr int kLinesPerBatch = 2000;
constexpr double kOffGoalNs = 5;
constexpr ULONGLONG kByteOrderMarkBytes = 2;
constexpr wchar_t kMessage[] = L"CInstaller::Install(74) : Failed to GetTempPath";

template <class Call>
double NsPerCall(int count, Call call)
{
    const CStopwatch stopwatch;
    for (int i = 0; i < count; ++i)
        call();
    return stopwatch.ElapsedMs() * 1e6 / count;
}

ULONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        throw std::runtime_error("a trace file is missing");
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void MeasureTraceOff(CReport& report)
{
    TraceError(kMessage);  // the one-time configuration from the registry
    if (g_DebugOutput.IsEnabled(MessageType::Error))
        throw std::runtime_error("the registry of this Wine prefix switches the trace on");
    CSamples trace, empty;
    for (int batch = 0; batch < kBatches; ++batch) {
        trace.Add(NsPerCall(kCallsPerBatch, [] { TraceError(kMessage); }));
        empty.Add(NsPerCall(kCallsPerBatch, [] { EmptyVariadicCall(kMessage); }));
    }
    report.Add(CFigure(L"trace.off", L"TraceError while the trace is off", trace, L"ns")
                   .Reference(empty, L"empty_variadic_call")
                   .Goal({CGoal::Subject::Value, CGoal::Bound::AtMost, kOffGoalNs}));
}

// The registry's defaults (every prefix, CR LF line ends) with the file as
// the only output, in folder.
ovQvl::CDebugOptions FileOutputIn(const std::wstring& folder)
{
    ovQvl::CDebugOptions options;
    options.DebugOutput.DebugType = 1;
    options.DebugOutput.OutputToDebugger = 0;
    options.DebugOutput.OutputToFile = 1;
    options.DebugOutput.AppendProcessIdToFile = 0;
    options.DebugOutput.Directory = folder.c_str();
    return options;
}

// Moving the trace to a folder that does not exist closes its file, which
// would otherwise stay open until the process ends.
void CloseTraceFile(const std::wstring& folder)
{
    ovQvl::CDebugOptions off = FileOutputIn(folder + L"\\closed");
    off.DebugOutput.DebugType = 0;
    off.DebugOutput.OutputToFile = 0;
    g_DebugOutput.ApplyOptions(off);
}

// Against a WriteFile of as many bytes as one trace line, to a file opened
// the way the trace opens its own.
void MeasureTraceOn(const CBenchRig& rig, CReport& report)
{
    const std::wstring folder = rig.Folder() + L"\\trace";
    std::filesystem::create_directories(folder);
    const std::wstring log = folder + L"\\Setup.log";
    g_DebugOutput.ApplyOptions(FileOutputIn(folder));
    TraceError(kMessage);
    const ULONGLONG firstSize = FileSize(log);
    const DWORD lineBytes = static_cast<DWORD>(firstSize - kByteOrderMarkBytes);

    const std::vector<char> line(lineBytes, 'x');
    ovLib::CFileHandle raw(CreateFileW((folder + L"\\raw.log").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!raw)
        throw std::runtime_error("cannot open the reference file");
    CSamples trace, write;
    for (int batch = 0; batch < kBatches; ++batch) {
        trace.Add(NsPerCall(kLinesPerBatch, [] { TraceError(kMessage); }) / 1000);
        write.Add(NsPerCall(kLinesPerBatch, [&] {
                      DWORD written = 0;
                      WriteFile(raw.get(), line.data(), lineBytes, &written, nullptr);
                  }) / 1000);
    }
    CloseTraceFile(folder);
    if (FileSize(log) != firstSize + static_cast<ULONGLONG>(lineBytes) * kBatches * kLinesPerBatch)
        throw std::runtime_error("the trace file lacks lines");
    report.Add(CFigure(L"trace.on_file_line", L"TraceError while the trace writes to its file", trace, L"us")
                   .Reference(write, L"WriteFile_of_a_line")
                   .Detail(L"line_bytes", lineBytes));
}

} // namespace

void MeasureTrace(const CBenchRig& rig, CReport& report)
{
    MeasureTraceOff(report);
    MeasureTraceOn(rig, report);
}
