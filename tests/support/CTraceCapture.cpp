#include "tests/support/CTraceCapture.h"

#include "tests/support/TraceOptions.h"

#include "trace/CDebugOptions.h"
#include "trace/CRegDebugOutput.h"

namespace testing_support {

namespace {

CTraceCapture* g_activeCapture = nullptr;

} // namespace

CTraceCapture::CTraceCapture() : CTraceCapture(PlainOptions()) {}

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
    if (!g_activeCapture)
        return;
    if (g_activeCapture->onOutput)
        g_activeCapture->onOutput(text);
    g_activeCapture->m_lines.emplace_back(text ? text : L"");
}

} // namespace testing_support
