#include "tests/support/CTraceCapture.h"

#include "trace/CDebugOptions.h"
#include "trace/CRegDebugOutput.h"

namespace testing_support {

namespace {

CTraceCapture* g_activeCapture = nullptr;

ovQvl::CDebugOptions EveryMessageVerbatim()
{
    ovQvl::CDebugOptions options;
    auto& output = options.DebugOutput;
    output.DebugType = 1;
    output.OutputToDebugger = 1;
    output.OutputToFile = 0;
    output.AppendProcessIdToFile = 0;
    output.PrependThreadId = 0;
    output.PrependProcessId = 0;
    output.PrependDateTime = 0;
    output.PrependModuleName = 0;
    output.AppendNewLine = 0;
    output.PrependType = 0;
    output.ExclusiveModules = 0;
    return options;
}

} // namespace

CTraceCapture::CTraceCapture() : CTraceCapture(EveryMessageVerbatim()) {}

CTraceCapture::CTraceCapture(const ovQvl::CDebugOptions& options) : CTraceCapture(RecordOnly{})
{
    m_configures = true;
    g_DebugOutput.Initialize();
    g_DebugOutput.ApplyOptions(options);
}

CTraceCapture::CTraceCapture(RecordOnly)
    : m_configures(false), m_hook("kernel32.dll", "OutputDebugStringW", reinterpret_cast<const void*>(&Record))
{
    g_activeCapture = this;
}

CTraceCapture::~CTraceCapture()
{
    if (m_configures) {
        ovQvl::CDebugOptions off;
        off.DebugOutput.DebugType = 0;
        off.DebugOutput.OutputToFile = 0;
        g_DebugOutput.ApplyOptions(off);
    }
    g_activeCapture = nullptr;
}

void WINAPI CTraceCapture::Record(const wchar_t* text)
{
    if (g_activeCapture)
        g_activeCapture->m_lines.emplace_back(text ? text : L"");
}

} // namespace testing_support
