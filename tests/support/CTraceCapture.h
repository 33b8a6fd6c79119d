#pragma once
#include "tests/support/CImportHook.h"

#include <functional>
#include <string>
#include <vector>

namespace ovQvl {
class CDebugOptions;
}

namespace testing_support {

// Sees what the process's trace object g_DebugOutput writes.
//
// While an instance lives, every text that the program passes to
// OutputDebugStringW is recorded instead of being sent to the debugger, and
// g_DebugOutput is configured so that trace messages of every type reach it
// exactly as formatted by the caller: no prefixes, no change to the line end,
// no file. The registry's debug options are loaded first (the trace's
// one-time initialisation), so trace calls made by that load are not
// recorded. The second constructor applies the given options instead, for
// tests of the trace object's own formatting and filtering.
//
// The record-only constructor leaves g_DebugOutput alone: it only records,
// for tests of the trace's own configuration or of trace objects of their own.
//
// One instance at a time, on the main thread. Destruction stops recording
// and, unless record-only, switches g_DebugOutput off (threshold 0);
// Lines() keeps what was recorded.
class CTraceCapture {
public:
    struct RecordOnly {};

    CTraceCapture();
    explicit CTraceCapture(const ovQvl::CDebugOptions& options);
    explicit CTraceCapture(RecordOnly);
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;
    ~CTraceCapture();

    // Every recorded text, oldest first.
    const std::vector<std::wstring>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

    // Runs for each text before it is recorded (to see what happened first).
    std::function<void(const wchar_t*)> onOutput;

private:
    static void WINAPI Record(const wchar_t* text);

    std::vector<std::wstring> m_lines;
    bool m_configures;
    CImportHook m_hook;
};

} // namespace testing_support
